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
    const kcBandPassedLevel level = kfBandPassedLevel(references[k], views[k]);
    const cv::Matx33d onLevel = kfBetweenLevels(pose, referenceLevel + k, viewLevel + k);
    cv::Mat warp(cv::Matx33f(kfNormalised(inner(onLevel, level.edge))));
    const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, kMaxIterations, kEpsilon);
    try {
      fit.correlation = cv::findTransformECC(kfInnerTrain(level), level.run, warp, cv::MOTION_HOMOGRAPHY, criteria,
                                             cv::noArray(), 1);
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
