#include "host/corr/target_score.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "host/corr/band_pass.h"
#include "host/imaging/perspective_sampling.h"
#include "host/imaging/plane_pose.h"

namespace {

// The grid holds at most this many samples along the reference's longer
// side, and at least kLeastSamples along its shorter side.
constexpr double kMostSamples = 256.0;
constexpr double kLeastSamples = 32.0;
// The band-pass: a blur of kInnerSigma samples less one of kOuterSigma.
constexpr double kInnerSigma = 1.0;
constexpr double kOuterSigma = 3.0;
// Samples left out at the grid's rim, where the view's band-pass sees the
// target's surroundings, and at the view's edge, beyond which it sees the
// edge pels repeated.
constexpr int kRim = 4;
// Fewer samples compared than this explain nothing.
constexpr int kLeastCompared = 64;
// Poses that put the grid farther from the view (in pels) explain nothing.
constexpr double kFarthest = 1e5;

cv::Mat bandPassed(const cv::Mat& samples) {
  cv::Mat light = kfLinearLight(samples), narrow, wide;
  cv::GaussianBlur(light, narrow, cv::Size(), kInnerSigma);
  cv::GaussianBlur(light, wide, cv::Size(), kOuterSigma);
  return narrow - wide;
}

}  // namespace

double kfTargetScore(const cv::Mat& reference, const cv::Mat& view, const cv::Matx33d& pose) {
  const cv::Point2d centre((reference.cols - 1) * 0.5, (reference.rows - 1) * 0.5);
  const double scale = std::sqrt(std::abs(cv::determinant(kfJacobianAt(pose, centre))));
  if (!(scale > 0.0) || !std::isfinite(scale)) return -1.0;
  // Samples about a view pel apart, within the bounds above.
  const double longer = std::max(reference.cols, reference.rows), shorter = std::min(reference.cols, reference.rows);
  const double spacing = std::min(std::max({1.0 / scale, longer / kMostSamples}), shorter / kLeastSamples);
  const cv::Size size(std::max(1, static_cast<int>(reference.cols / spacing)),
                      std::max(1, static_cast<int>(reference.rows / spacing)));
  const cv::Matx33d grid(spacing, 0.0, centre.x - 0.5 * spacing * (size.width - 1), 0.0, spacing,
                         centre.y - 0.5 * spacing * (size.height - 1), 0.0, 0.0, 1.0);
  // The grid's corners must lie on the view's side of the pose's horizon,
  // and not implausibly far from the view.
  const cv::Matx33d toView = pose * grid;
  for (const cv::Point2d& c : {cv::Point2d(0, 0), cv::Point2d(size.width - 1.0, 0), cv::Point2d(0, size.height - 1.0),
                               cv::Point2d(size.width - 1.0, size.height - 1.0)}) {
    const cv::Point2d p = kfMapped(toView, c);
    if (!(toView(2, 0) * c.x + toView(2, 1) * c.y + toView(2, 2) > 0.0) || !(std::abs(p.x) < kFarthest) ||
        !(std::abs(p.y) < kFarthest))
      return -1.0;
  }
  // The samples compared: those inside the view, kRim samples in from the
  // grid's rim and from the view's edge.
  cv::Mat compared(size, CV_8U, cv::Scalar(0));
  for (int j = 0; j < size.height; ++j)
    for (int i = 0; i < size.width; ++i) {
      const cv::Point2d p = kfMapped(toView, cv::Point2d(i, j));
      compared.at<unsigned char>(j, i) = p.x >= 0.0 && p.y >= 0.0 && p.x <= view.cols - 1.0 && p.y <= view.rows - 1.0;
    }
  cv::erode(compared, compared, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * kRim + 1, 2 * kRim + 1)), {-1, -1},
            1, cv::BORDER_CONSTANT, cv::Scalar(0));
  if (cv::countNonZero(compared) < kLeastCompared) return -1.0;
  const cv::Mat a = bandPassed(kfPerspectiveSamples(reference, grid, size));
  const cv::Mat b = bandPassed(kfPerspectiveSamples(view, toView, size));
  cv::Mat da = a - cv::mean(a, compared), db = b - cv::mean(b, compared);
  da.setTo(0.0, compared == 0);
  db.setTo(0.0, compared == 0);
  const double norms = std::sqrt(da.dot(da) * db.dot(db));
  return norms > 0.0 ? da.dot(db) / norms : 0.0;
}
