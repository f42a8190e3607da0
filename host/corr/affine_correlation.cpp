#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <string>
#include <vector>

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
// The training image is compared without a rim, whose width is chosen per
// level where the image is flattest just outside it. In the rim the target
// meets its surroundings, and both images are smoothed (by the pyramid, by a
// Gaussian for the gradients and, in the run image, by the camera) with
// what lies beyond the compared part: an edge just outside it would blur
// into it differently in the two images and pull the pose.
constexpr int kMinRim = 4;
constexpr int kMaxRim = 24;
constexpr int kRimBand = 3;  // pels outside the compared part that must be flat
// The training image must be at least this many pels wide and high.
constexpr int kMinTrainSide = 8;
// Iterations and the change of the correlation at which a level stops.
constexpr int kMaxIterations = 20;
constexpr double kEpsilon = 1e-4;
// Full resolution, where an iteration costs most, only polishes the pose
// of the level above.
constexpr int kFullResolutionIterations = 3;

// The pels in linear light (0 to 255), taking them as sRGB-encoded: the
// camera's optics and resampling blend light, so edges blur alike in both
// images only there, and a blur that does not would pull the pose.
cv::Mat linearLight(const cv::Mat& pels) {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int i = 0; i < 256; ++i) {
      const double e = i / 255.0;
      t.at<float>(i) = static_cast<float>(255.0 * (e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4)));
    }
    return t;
  }();
  cv::Mat linear;
  cv::LUT(pels, table, linear);
  return linear;
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

// The rim width (kMinRim to kMaxRim, at most a sixth of the shorter
// side) with the least gradient in the kRimBand rings just outside it.
int flattestRim(const cv::Mat& image) {
  const int widest = std::min(kMaxRim, std::min(image.cols, image.rows) / 6);
  if (widest <= kMinRim) return std::max(0, widest);
  cv::Mat dx, dy, magnitude, sums;
  cv::Sobel(image, dx, CV_32F, 1, 0);
  cv::Sobel(image, dy, CV_32F, 0, 1);
  cv::magnitude(dx, dy, magnitude);
  cv::integral(magnitude, sums, CV_64F);
  const auto inside = [&](int inset) {  // gradient within the rectangle inset pels in
    const int x0 = inset, y0 = inset, x1 = image.cols - inset, y1 = image.rows - inset;
    return sums.at<double>(y1, x1) - sums.at<double>(y0, x1) - sums.at<double>(y1, x0) + sums.at<double>(y0, x0);
  };
  int best = kMinRim;
  double least = HUGE_VAL;
  for (int rim = kMinRim; rim <= widest; ++rim) {
    const double band = inside(rim - kRimBand) - inside(rim);
    if (band < least) least = band, best = rim;
  }
  return best;
}

// Refines warp (training matrix -> run matrix of this level) by the
// enhanced correlation of the training image without its rim, both images
// smoothed alike first; returns the correlation.
double refineOnLevel(const cv::Mat& train, const cv::Mat& run, int iterations, cv::Matx23d& warp) {
  cv::Mat t, r;
  cv::GaussianBlur(train, t, cv::Size(5, 5), 0.0);
  cv::GaussianBlur(run, r, cv::Size(5, 5), 0.0);
  const int edge = flattestRim(t);
  // The inner part's pel u is the training image's pel u + edge.
  const cv::Vec2d shift(warp(0, 0) * edge + warp(0, 1) * edge, warp(1, 0) * edge + warp(1, 1) * edge);
  cv::Mat inner(
      cv::Matx23f(warp(0, 0), warp(0, 1), warp(0, 2) + shift[0], warp(1, 0), warp(1, 1), warp(1, 2) + shift[1]));
  const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, iterations, kEpsilon);
  double score = 0.0;
  try {
    score = cv::findTransformECC(t(cv::Rect(edge, edge, t.cols - 2 * edge, t.rows - 2 * edge)), r, inner,
                                 cv::MOTION_AFFINE, criteria, cv::noArray(), 1);
  } catch (const cv::Exception& e) {
    throw kcNormalizedCorrelationFailed("normalized correlation: no match near the start pose (" + e.err + ")");
  }
  const cv::Matx23f w = inner;
  warp = cv::Matx23d(w(0, 0), w(0, 1), w(0, 2) - (w(0, 0) + w(0, 1)) * edge, w(1, 0), w(1, 1),
                     w(1, 2) - (w(1, 0) + w(1, 1)) * edge);
  return score;
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
  if (train.cols < kMinTrainSide || train.rows < kMinTrainSide)
    throw kcBadArgument("normalized correlation: training image smaller than " + std::to_string(kMinTrainSide) +
                        " pels");

  // Training matrix -> run matrix, then relative to the cropped run image.
  cv::Matx23d warp = kfToCv(runClientFromMat.inverse() * startPose * trainClientFromMat);
  const cv::Rect crop = footprint(warp, train.size(), run.size());
  if (crop.width < 2 || crop.height < 2)
    throw kcNormalizedCorrelationFailed("normalized correlation: the start pose lies outside the image");
  warp(0, 2) -= crop.x, warp(1, 2) -= crop.y;

  // Levels by cv::pyrDown, which keeps pel i of a level at 2 i of the level
  // below: the warp's linear part stays, its translation halves.
  int start = 0;
  while (start < kStartLevel && (std::min(train.cols, train.rows) >> (start + 1)) >= kMinLevelSide) ++start;
  std::vector<cv::Mat> trains{linearLight(train)}, runs{linearLight(run(crop))};
  for (int l = 1; l <= start; ++l) {
    trains.emplace_back(), runs.emplace_back();
    cv::pyrDown(trains[l - 1], trains[l]);
    cv::pyrDown(runs[l - 1], runs[l]);
  }
  double score = 0.0;
  for (int l = start; l >= 0; --l) {
    const double f = 1 << l;
    cv::Matx23d levelWarp(warp(0, 0), warp(0, 1), warp(0, 2) / f, warp(1, 0), warp(1, 1), warp(1, 2) / f);
    score = refineOnLevel(trains[l], runs[l], l == 0 ? kFullResolutionIterations : kMaxIterations, levelWarp);
    warp = cv::Matx23d(levelWarp(0, 0), levelWarp(0, 1), levelWarp(0, 2) * f, levelWarp(1, 0), levelWarp(1, 1),
                       levelWarp(1, 2) * f);
  }
  warp(0, 2) += crop.x, warp(1, 2) += crop.y;
  result.pose(runClientFromMat * kfFromCv(warp) * trainClientFromMat.inverse());
  result.score(score);
}
