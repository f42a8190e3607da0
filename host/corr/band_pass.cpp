#include "host/corr/band_pass.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "host/imaging/srgb.h"

namespace {

// Run-image pels kept around the pose's footprint: room for the start
// error and the smoothing and gradient kernels.
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
// The width (sigma, in pels of a level) of the blur that the band-pass
// takes away; 2 kept the errors lowest both on random charts and on the
// simulated camera's chart.
constexpr double kBandPassSigma = 2.0;

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

}  // namespace

cv::Mat kfLinearLight(const cv::Mat& pels) {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int i = 0; i < 256; ++i) {
      t.at<float>(i) = static_cast<float>(255.0 * kfSrgbDecode(i / 255.0));
    }
    return t;
  }();
  cv::Mat linear;
  cv::LUT(pels, table, linear);
  return linear;
}

cv::Rect kfCorrelationCrop(const std::array<cv::Point2d, 4>& corners, cv::Size image) {
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  for (const cv::Point2d& c : corners)
    left = std::min(left, c.x), right = std::max(right, c.x), top = std::min(top, c.y), bottom = std::max(bottom, c.y);
  const double limit = 1e9;  // keeps a wild pose from overflowing int
  const cv::Rect box(cv::Point(static_cast<int>(std::clamp(std::floor(left) - kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::floor(top) - kCropMargin, -limit, limit))),
                     cv::Point(static_cast<int>(std::clamp(std::ceil(right) + kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::ceil(bottom) + kCropMargin, -limit, limit))));
  return box & cv::Rect(cv::Point(0, 0), image);
}

kcBandPassedLevel kfBandPassedLevel(const cv::Mat& train, const cv::Mat& run) {
  kcBandPassedLevel level;
  cv::GaussianBlur(train, level.train, cv::Size(5, 5), 0.0);
  cv::GaussianBlur(run, level.run, cv::Size(5, 5), 0.0);
  level.edge = flattestRim(level.train);
  for (cv::Mat* image : {&level.train, &level.run}) {
    cv::Mat wide;
    cv::GaussianBlur(*image, wide, cv::Size(), kBandPassSigma);
    *image -= wide;
  }
  return level;
}

cv::Mat kfInnerTrain(const kcBandPassedLevel& level) {
  const int e = level.edge;
  return level.train(cv::Rect(e, e, level.train.cols - 2 * e, level.train.rows - 2 * e));
}
