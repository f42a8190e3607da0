#include "host/corr/homography_refinement.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <vector>

#include "host/corr/band_pass.h"
#include "host/imaging/plane_pose.h"

namespace {

// Levels below the common resolution on which the refinement starts, fewer
// for a small reference; each coarser level widens the start error it
// recovers from.
constexpr int kCoarseLevels = 3;
// The reference keeps at least this many pels per side on a level.
constexpr int kMinLevelSide = 16;
// Iterations and the change of the correlation at which a level stops.
constexpr int kMaxIterations = 30;
constexpr double kEpsilon = 1e-5;
// The finest level is cut into about this many cells along its longer
// side; a cell whose mismatch exceeds the cells' median by this factor is
// left out of the second fit there.
constexpr int kCellsAlongLonger = 8;
constexpr double kOutlierFactor = 3.0;
// evenContrast's envelope and floor (a share of the mean energy).
constexpr double kEvenSigma = 4.0;
constexpr double kEvenFloor = 0.01;

// The homography of the reference's inner part (its pel u is the
// reference's pel u + edge) from that of the whole.
cv::Matx33d inner(const cv::Matx33d& h, int edge) {
  return h * cv::Matx33d(1.0, 0.0, edge, 0.0, 1.0, edge, 0.0, 0.0, 1.0);
}

// cv::pyrDown applied levels times.
cv::Mat reduced(const cv::Mat& image, int levels) {
  cv::Mat out = image;
  for (int l = 0; l < levels; ++l) {
    cv::Mat half;
    cv::pyrDown(out, half);
    out = half;
  }
  return out;
}

// The pels of the run image that the second fit on the finest level uses:
// all but those in cells of the training image where the run image,
// warped onto it by warp (training -> run, CV_32F 3x3), differs from it
// far more than elsewhere. Tape over the chart's rim, a finger, glare or
// print that the reference lacks pull a fit of the whole towards them; a
// few cells left out stop that. Empty where no cell stands out.
cv::Mat inlierMask(const cv::Mat& train, const cv::Mat& run, const cv::Mat& warp) {
  cv::Mat seen, covered;
  cv::warpPerspective(run, seen, warp, train.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP);
  cv::warpPerspective(cv::Mat(run.size(), CV_8U, cv::Scalar(1)), covered, warp, train.size(),
                      cv::INTER_NEAREST | cv::WARP_INVERSE_MAP);
  // Both zero-mean and of unit spread where the run image covers the
  // training one: the fit's own gain and offset.
  const auto normalised = [&covered](const cv::Mat& image) {
    cv::Scalar mean, spread;
    cv::meanStdDev(image, mean, spread, covered);
    cv::Mat out = (image - mean[0]) / std::max(spread[0], 1e-9);
    out.setTo(0.0, covered == 0);
    return out;
  };
  cv::Mat mismatch;
  cv::pow(normalised(train) - normalised(seen), 2.0, mismatch);
  const int side = std::max(8, std::max(train.cols, train.rows) / kCellsAlongLonger);
  std::vector<std::pair<cv::Rect, double>> cells;
  for (int y = 0; y < train.rows; y += side)
    for (int x = 0; x < train.cols; x += side) {
      const cv::Rect cell = cv::Rect(x, y, side, side) & cv::Rect(cv::Point(0, 0), train.size());
      if (cv::countNonZero(covered(cell)) * 2 < cell.area()) continue;
      cells.emplace_back(cell, cv::mean(mismatch(cell), covered(cell))[0]);
    }
  if (cells.size() < 4) return {};
  std::vector<double> values;
  for (const auto& cell : cells) values.push_back(cell.second);
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  const double limit = kOutlierFactor * values[values.size() / 2];
  cv::Mat kept(train.size(), CV_8U, cv::Scalar(255));
  bool any = false;
  for (const auto& [cell, value] : cells)
    if (value > limit) kept(cell).setTo(0), any = true;
  if (!any) return {};
  cv::Mat mask;
  cv::warpPerspective(kept, mask, warp, run.size(), cv::INTER_NEAREST);
  return mask;
}

// Each edge weighed alike, whatever its contrast: the band-passed image
// divided by its local RMS (over kEvenSigma pels), floored at a tenth of
// its overall RMS so that flat noise is not raised. In linear light the
// edges of a chart's dark patches are faint, so a fit of the whole follows
// the bright ones and leaves a dark corner free to bend (by 5 pels at a
// phone photo's black patch; under 3 with even contrast). Dividing by a
// smooth envelope moves no edge, so the fit keeps linear light's unbiased
// edge positions.
void evenContrast(cv::Mat& image) {
  cv::Mat energy;
  cv::GaussianBlur(image.mul(image), energy, cv::Size(), kEvenSigma);
  cv::sqrt(energy + kEvenFloor * cv::mean(energy)[0], energy);
  image /= energy;
}

}  // namespace

kcHomographyFit kfRefineHomography(const cv::Mat& reference, const cv::Mat& view, const cv::Matx33d& start) {
  kcHomographyFit fit{start, -1.0};
  // The reference is reduced where the view shows it smaller, the view
  // where it shows it larger, so that their pels are about the same size.
  const cv::Point2d centre((reference.cols - 1) * 0.5, (reference.rows - 1) * 0.5);
  const double scale = std::sqrt(std::abs(cv::determinant(kfJacobianAt(start, centre))));
  if (!(scale > 0.0) || !std::isfinite(scale)) return fit;
  const int referenceLevel = scale < 1.0 ? static_cast<int>(std::lround(std::log2(1.0 / scale))) : 0;
  const int viewLevel = scale > 1.0 ? static_cast<int>(std::lround(std::log2(scale))) : 0;
  const cv::Rect crop = kfCorrelationCrop(kfMappedCorners(start, reference.size()), view.size());
  if (crop.width < 8 || crop.height < 8) return fit;
  const cv::Matx33d toCrop(1.0, 0.0, -crop.x, 0.0, 1.0, -crop.y, 0.0, 0.0, 1.0);

  std::vector<cv::Mat> references{reduced(kfLinearLight(reference), referenceLevel)};
  std::vector<cv::Mat> views{reduced(kfLinearLight(view(crop)), viewLevel)};
  while (static_cast<int>(references.size()) <= kCoarseLevels &&
         std::min(references.back().cols, references.back().rows) / 2 >= kMinLevelSide &&
         std::min(views.back().cols, views.back().rows) / 2 >= kMinLevelSide) {
    references.push_back(reduced(references.back(), 1));
    views.push_back(reduced(views.back(), 1));
  }
  cv::Matx33d pose = toCrop * start;
  for (int k = static_cast<int>(references.size()) - 1; k >= 0; --k) {
    kcBandPassedLevel level = kfBandPassedLevel(references[k], views[k]);
    evenContrast(level.train);
    evenContrast(level.run);
    const cv::Matx33d onLevel = kfBetweenLevels(pose, referenceLevel + k, viewLevel + k);
    cv::Mat warp(cv::Matx33f(kfNormalised(inner(onLevel, level.edge))));
    const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, kMaxIterations, kEpsilon);
    try {
      fit.correlation = cv::findTransformECC(kfInnerTrain(level), level.run, warp, cv::MOTION_HOMOGRAPHY, criteria,
                                             cv::noArray(), 1);
      if (k == 0) {
        const cv::Mat mask = inlierMask(kfInnerTrain(level), level.run, warp);
        if (!mask.empty())
          fit.correlation = cv::findTransformECC(kfInnerTrain(level), level.run, warp, cv::MOTION_HOMOGRAPHY,
                                                 criteria, mask, 1);
      }
    } catch (const cv::Exception&) {
      // Nothing to correlate at this pose (it left the view, or the level
      // is flat there).
      return {start, -1.0};
    }
    const cv::Matx33d refined = inner(cv::Matx33d(cv::Matx33f(warp)), -level.edge);
    pose = kfBetweenLevels(refined, -(referenceLevel + k), -(viewLevel + k));
  }
  fit.pose = kfNormalised(cv::Matx33d(1.0, 0.0, crop.x, 0.0, 1.0, crop.y, 0.0, 0.0, 1.0) * pose);
  return fit;
}
