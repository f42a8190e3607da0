#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include "colc/host/corr.h"
#include "host/align/pel_frame.h"
#include "host/imaging/cv_bridge.h"

namespace {

// The refinement starts this many levels (halvings) below full resolution,
// fewer for a small training image, and works up to full resolution.
constexpr int kStartLevel = 2;
// The training image keeps at least this many pels per side on a level.
constexpr int kMinLevelSide = 16;
// Run-image pels kept around the start pose's footprint: room for the
// start error and the smoothing and gradient kernels.
constexpr int kCropMargin = 16;
// Training pels this close to the edge are not compared: both images are
// smoothed before the comparison, the training image by reflection at its
// edge, the run image with what surrounds the target, and comparing that
// rim would pull the pose.
constexpr int kEdge = 3;
// Iterations and the change of the warp's entries at which a level stops.
constexpr int kMaxIterations = 30;
constexpr double kEpsilon = 1e-4;

cv::Matx23f scaledWarp(const cv::Matx23d& warp, double factor) {
  return {static_cast<float>(warp(0, 0)), static_cast<float>(warp(0, 1)), static_cast<float>(warp(0, 2) * factor),
          static_cast<float>(warp(1, 0)), static_cast<float>(warp(1, 1)), static_cast<float>(warp(1, 2) * factor)};
}

// The part of the run image that the training image covers at the warp,
// widened by kCropMargin and cut to the image; empty when they do not meet.
cv::Rect footprint(const cv::Matx23d& warp, cv::Size train, cv::Size image) {
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  for (const double u : {-0.5, train.width - 0.5}) {
    for (const double v : {-0.5, train.height - 0.5}) {
      const double x = warp(0, 0) * u + warp(0, 1) * v + warp(0, 2);
      const double y = warp(1, 0) * u + warp(1, 1) * v + warp(1, 2);
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  const double limit = 1e9;  // keeps a wild pose from overflowing int
  const cv::Rect box(cv::Point(static_cast<int>(std::clamp(std::floor(left) - kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::floor(top) - kCropMargin, -limit, limit))),
                     cv::Point(static_cast<int>(std::clamp(std::ceil(right) + kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::ceil(bottom) + kCropMargin, -limit, limit))));
  return box & cv::Rect(cv::Point(0, 0), image);
}

// The run-image pels that the warp puts under the training image's inner
// part (kEdge pels in from its edge): the pels the comparison uses.
cv::Mat innerMask(const cv::Matx23f& warp, cv::Size train, cv::Size image) {
  constexpr int kShift = 4;  // sub-pel vertices, in sixteenths
  std::vector<cv::Point> corners;
  for (const auto& [u, v] : {std::pair{kEdge - 0.5, kEdge - 0.5}, std::pair{train.width - 0.5 - kEdge, kEdge - 0.5},
                             std::pair{train.width - 0.5 - kEdge, train.height - 0.5 - kEdge},
                             std::pair{kEdge - 0.5, train.height - 0.5 - kEdge}}) {
    const double x = warp(0, 0) * u + warp(0, 1) * v + warp(0, 2);
    const double y = warp(1, 0) * u + warp(1, 1) * v + warp(1, 2);
    corners.emplace_back(cvRound(x * (1 << kShift)), cvRound(y * (1 << kShift)));
  }
  cv::Mat mask = cv::Mat::zeros(image, CV_8U);
  cv::fillConvexPoly(mask, corners, cv::Scalar(255), cv::LINE_8, kShift);
  return mask;
}

}  // namespace

void kfNormalizedCorrelationAffinePose(const kcPelBuffer_const<unsigned char>& trainImage,
                                       const kcPelBuffer_const<unsigned char>& image, const kcXform<2>& startPose,
                                       kcNormalizedCorrelationAffineResult& result, kcDiagObject*, unsigned long) {
  const cv::Mat train = kfMatView(trainImage);
  const cv::Mat run = kfMatView(image);
  const kcXform<2> trainClientFromMat = kfClientFromMatXform(trainImage);
  const kcXform<2> runClientFromMat = kfClientFromMatXform(image);
  if (trainClientFromMat.matrix().determinant() == 0.0 || runClientFromMat.matrix().determinant() == 0.0 ||
      startPose.matrix().determinant() == 0.0)
    throw kcBadArgument("normalized correlation: singular pose or client transform");
  if (train.empty()) throw kcNormalizedCorrelationFailed("normalized correlation: empty training image");

  // Training matrix -> run matrix, then relative to the cropped run image.
  cv::Matx23d warp = kfToCv(runClientFromMat.inverse() * startPose * trainClientFromMat);
  const cv::Rect crop = footprint(warp, train.size(), run.size());
  if (crop.width < 2 || crop.height < 2)
    throw kcNormalizedCorrelationFailed("normalized correlation: the start pose lies outside the image");
  warp(0, 2) -= crop.x, warp(1, 2) -= crop.y;

  if (std::min(train.cols, train.rows) < 2 * kEdge + kMinLevelSide)
    throw kcBadArgument("normalized correlation: training image smaller than " +
                        std::to_string(2 * kEdge + kMinLevelSide) + " pels");
  int start = 0;
  while (start < kStartLevel && (std::min(train.cols, train.rows) >> (start + 1)) >= 2 * kEdge + kMinLevelSide) ++start;
  std::vector<cv::Mat> trains{train}, runs{run(crop)};
  for (int l = 1; l <= start; ++l) {
    trains.emplace_back(), runs.emplace_back();
    cv::pyrDown(trains[l - 1], trains[l]);
    cv::pyrDown(runs[l - 1], runs[l]);
  }

  double score = 0.0;
  const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, kMaxIterations, kEpsilon);
  for (int l = start; l >= 0; --l) {
    // pyrDown keeps pel i of a level at 2 i of the level below: the linear
    // part stays, the translation scales.
    cv::Mat levelWarp(scaledWarp(warp, 1.0 / (1 << l)));
    try {
      const cv::Mat mask = innerMask(cv::Matx23f(levelWarp), trains[l].size(), runs[l].size());
      score = cv::findTransformECC(trains[l], runs[l], levelWarp, cv::MOTION_AFFINE, criteria, mask, 5);
    } catch (const cv::Exception& e) {
      throw kcNormalizedCorrelationFailed("normalized correlation: no match near the start pose (" + e.err + ")");
    }
    const cv::Matx23f w = levelWarp;
    warp = cv::Matx23d(w(0, 0), w(0, 1), w(0, 2) * (1 << l), w(1, 0), w(1, 1), w(1, 2) * (1 << l));
  }
  warp(0, 2) += crop.x, warp(1, 2) += crop.y;
  result.pose(runClientFromMat * kfFromCv(warp) * trainClientFromMat.inverse());
  result.score(score);
}
