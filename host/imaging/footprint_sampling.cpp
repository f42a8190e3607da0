#include "host/imaging/footprint_sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "host/imaging/srgb.h"

namespace {

// The footprint's standard deviation in sample spacings (the geometric mean
// of the two spacings, so that it is round in the scene). Measured on views
// of charts moved by fractions of a pel: at 0.4 samples in the dark gaps
// between bright patches still moved by up to 12 pel values with the phase,
// at 0.5 by up to 5, while a patch a few samples wide keeps samples inside
// that only its own colour reaches.
constexpr double kSigmaPerSpacing = 0.5;
// The light image is blurred out to this many standard deviations.
constexpr double kReach = 3.0;
// The footprint is weighed out on a level of halvings (cv::pyrDown) where
// its standard deviation is at least this many of the level's pels: wide
// enough for bicubic reading between pels to be nearly phase-free.
constexpr double kLevelPelsPerSigma = 1.0;

const cv::Mat& decodeTable() {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int v = 0; v < 256; ++v) t.at<float>(v) = static_cast<float>(kfSrgbDecode(v / 255.0));
    return t;
  }();
  return table;
}

// Light to the nearest encoded pel value: entry v is the light at which
// the encoding rounds up from v to v + 1.
unsigned char encoded(float light) {
  static const std::array<float, 255> thresholds = [] {
    std::array<float, 255> t{};
    for (int v = 0; v < 255; ++v) t[static_cast<std::size_t>(v)] = static_cast<float>(kfSrgbDecode((v + 0.5) / 255.0));
    return t;
  }();
  return static_cast<unsigned char>(std::upper_bound(thresholds.begin(), thresholds.end(), light) - thresholds.begin());
}

// The pels the footprints reach: the sample centres' bounding box widened
// by reach, cut to the plane, and never empty (samples far outside read
// the edge pels nearest to them).
cv::Rect reachedPels(const cv::Matx23d& dstToSrc, cv::Size size, double reach, cv::Size plane) {
  double left = HUGE_VAL, right = -HUGE_VAL, top = HUGE_VAL, bottom = -HUGE_VAL;
  for (const double j : {0.0, size.height - 1.0})
    for (const double i : {0.0, size.width - 1.0}) {
      const double x = dstToSrc(0, 0) * i + dstToSrc(0, 1) * j + dstToSrc(0, 2);
      const double y = dstToSrc(1, 0) * i + dstToSrc(1, 1) * j + dstToSrc(1, 2);
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  // The caller keeps sample centres within 2^19 pels of the plane, so these fit an int.
  const int x0 = std::clamp(static_cast<int>(std::floor(left - reach)), 0, plane.width - 1);
  const int y0 = std::clamp(static_cast<int>(std::floor(top - reach)), 0, plane.height - 1);
  const int x1 = std::clamp(static_cast<int>(std::ceil(right + reach)) + 1, x0 + 1, plane.width);
  const int y1 = std::clamp(static_cast<int>(std::ceil(bottom + reach)) + 1, y0 + 1, plane.height);
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

cv::Mat kfFootprintSamples(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size) {
  const double xSpacing = std::hypot(dstToSrc(0, 0), dstToSrc(1, 0));
  const double ySpacing = std::hypot(dstToSrc(0, 1), dstToSrc(1, 1));
  const double sigma = kSigmaPerSpacing * std::sqrt(xSpacing * ySpacing);
  // Beyond the blur's reach, room for bicubic reading on the coarsest level.
  const cv::Rect reached = reachedPels(dstToSrc, size, kReach * sigma + 8.0, plane.size());
  cv::Mat light;
  cv::LUT(plane(reached), decodeTable(), light);

  // Each halving blurs with variance 1 of its input's pels (the binomial
  // kernel of cv::pyrDown) and keeps level pel u at 2 u of the level below.
  double scale = 1.0, variance = 0.0;
  while (sigma >= 2.0 * scale * kLevelPelsPerSigma && std::min(light.cols, light.rows) >= 4) {
    cv::Mat half;
    cv::pyrDown(light, half);
    light = half;
    variance += scale * scale;
    scale *= 2.0;
  }
  const double rest = std::sqrt(sigma * sigma - variance) / scale;
  cv::Mat blurred;
  cv::GaussianBlur(light, blurred, cv::Size(0, 0), rest, rest, cv::BORDER_REPLICATE);

  const cv::Matx23d onLevel(dstToSrc(0, 0) / scale, dstToSrc(0, 1) / scale, (dstToSrc(0, 2) - reached.x) / scale,
                            dstToSrc(1, 0) / scale, dstToSrc(1, 1) / scale, (dstToSrc(1, 2) - reached.y) / scale);
  cv::Mat sampled;
  cv::warpAffine(blurred, sampled, onLevel, size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
  cv::Mat out(size, CV_8U);
  for (int j = 0; j < size.height; ++j) {
    const float* s = sampled.ptr<float>(j);
    unsigned char* o = out.ptr(j);
    for (int i = 0; i < size.width; ++i) o[i] = encoded(s[i]);
  }
  return out;
}
