#include "host/imaging/footprint_sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <vector>

#include "host/imaging/srgb.h"

namespace {

// The footprint's standard deviation in sample spacings (the geometric mean
// of the two spacings, so that it is round in the scene). Measured on views
// of a chart moved by fractions of a pel (the phase test of the affine
// sampling): at 0.5 a sample changes by at most 3 pel values and 0.35 on
// average, at 0.4 by up to 3 and 0.54; point samples by up to 68 and 1.9.
// A patch a few samples wide still keeps samples that only its own colour
// reaches.
constexpr double kSigmaPerSpacing = 0.5;
// The footprint is cut off this many standard deviations out.
constexpr double kReach = 3.0;
// The narrowest Gaussian, in pels of a level of halvings, still smooth
// enough across pels for the sample's phase not to show: on the phase test
// of the affine sampling, 0.75 pel gives the same as 1 pel, at a quarter of
// the cost where it saves a halving.
constexpr double kNarrowest = 0.75;
// The variance of bilinear reading's tent, in pels^2.
constexpr double kTentVariance = 1.0 / 6.0;

// Bilinear reading blurred by a Gaussian of standard deviation sigma (in
// pels of the light image it reads): the tent of bilinear interpolation
// convolved with the Gaussian, weighed out at each sample's own position.
// Without the Gaussian it is bilinear interpolation itself; with it, it is
// smooth across pels, so the result hardly depends on the sample's phase.
// The weights of a row or column of pels depend only on the sample's
// position within its pel, taken to 1/kPhases of a pel, so they come from a
// table.
class BlurredTent {
 public:
  static constexpr int kTaps = 20;

  explicit BlurredTent(double sigma)
      : radius_(static_cast<int>(std::ceil(1.0 + kReach * sigma))),
        taps_(2 * radius_ + 2),
        width_((taps_ + 3) / 4 * 4),
        weights_(kPhases * kTaps) {
    for (int p = 0; p < kPhases; ++p) {
      float* w = &weights_[static_cast<std::size_t>(p * kTaps)];
      const double within = (p + 0.5) / kPhases;
      double sum = 0.0;
      for (int k = 0; k < taps_; ++k) sum += w[k] = static_cast<float>(weight(k - radius_ - within, sigma));
      for (int k = 0; k < taps_; ++k) w[k] = static_cast<float>(w[k] / sum);
    }
  }

  // The weighted mean of light around (x, y) (pel centres at integers);
  // positions past the edges read the nearest edge pel.
  float mean(const cv::Mat& light, double x, double y) const {
    switch (width_) {
      case 4: return meanOver<4>(light, x, y);
      case 8: return meanOver<8>(light, x, y);
      case 12: return meanOver<12>(light, x, y);
      case 16: return meanOver<16>(light, x, y);
      default: return meanOver<kTaps>(light, x, y);
    }
  }

  // The widest Gaussian (standard deviation, in pels) the taps hold.
  static constexpr double kWidest = ((kTaps - 2) / 2 - 1) / kReach;

 private:
  static constexpr int kPhases = 64;

  // The tent convolved with the Gaussian at offset t: the second difference
  // of the ramp max(t, 0) convolved with the Gaussian.
  static double weight(double t, double sigma) {
    const auto rampBlurred = [sigma](double x) {
      if (sigma == 0.0) return std::max(x, 0.0);
      const double z = x / sigma;
      return x * 0.5 * std::erfc(-z / std::sqrt(2.0)) + sigma * std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
    };
    return std::max(0.0, rampBlurred(t + 1.0) - 2.0 * rampBlurred(t) + rampBlurred(t - 1.0));
  }

  // The mean over Width columns, Width at least the taps (the weights
  // beyond them are 0): the columns' weighted sums over the rows in vector
  // registers, then their weighted sum. Rows that reach past the edges are
  // first copied with the edge pels repeated.
  template <int Width>
  float meanOver(const cv::Mat& light, double x, double y) const {
    const double column = std::floor(x), row = std::floor(y);
    const float* across = phaseWeights(x - column);
    const float* down = phaseWeights(y - row);
    const int left = static_cast<int>(column) - radius_, top = static_cast<int>(row) - radius_;
    if (left >= 0 && top >= 0 && left + Width <= light.cols && top + taps_ <= light.rows)
      return weigh<Width>(light.ptr<float>(top) + left, light.step1(), across, down);
    std::array<float, kTaps * Width> edgePels;
    for (int k = 0; k < taps_; ++k) {
      const float* pelRow = light.ptr<float>(std::clamp(top + k, 0, light.rows - 1));
      for (int m = 0; m < Width; ++m) edgePels[k * Width + m] = pelRow[std::clamp(left + m, 0, light.cols - 1)];
    }
    return weigh<Width>(edgePels.data(), Width, across, down);
  }

  // The weighing itself, of taps_ rows of Width pels from pels on, rows
  // stride floats apart. The sums stay in registers: nothing else is
  // written while they grow.
  template <int Width>
  float weigh(const float* pels, std::size_t stride, const float* across, const float* down) const {
    constexpr int kVectors = Width / 4;
    std::array<cv::v_float32x4, kVectors> columns;
    columns.fill(cv::v_setzero_f32());
    for (int k = 0; k < taps_; ++k, pels += stride) {
      const cv::v_float32x4 weight = cv::v_setall_f32(down[k]);
      for (int c = 0; c < kVectors; ++c) columns[c] = columns[c] + weight * cv::v_load(pels + 4 * c);
    }
    cv::v_float32x4 sum = cv::v_setzero_f32();
    for (int c = 0; c < kVectors; ++c) sum = sum + columns[c] * cv::v_load(across + 4 * c);
    return cv::v_reduce_sum(sum);
  }

  const float* phaseWeights(double within) const {
    const int p = std::min(static_cast<int>(within * kPhases), kPhases - 1);
    return &weights_[static_cast<std::size_t>(p * kTaps)];
  }

  int radius_;
  int taps_;
  int width_;  // taps_ rounded up to whole vectors of four
  std::vector<float> weights_;
};

// The weights of the last Gaussian asked for on this thread. All the
// measurements of a calibration sample on one grid and so ask for the same
// one; working its weights out takes thousands of erfc and exp calls.
const BlurredTent& blurredTent(double sigma) {
  thread_local std::optional<BlurredTent> last;
  thread_local double lastSigma = 0.0;
  if (!last || lastSigma != sigma) {
    last.emplace(sigma);
    lastSigma = sigma;
  }
  return *last;
}

const cv::Mat& decodeTable() {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int v = 0; v < 256; ++v) t.at<float>(v) = static_cast<float>(kfSrgbDecode(v / 255.0));
    return t;
  }();
  return table;
}

// Light to the nearest encoded pel value: the number of thresholds v at or
// below the light, threshold v being the light at which the encoding rounds
// up from v to v + 1. A table of where each 1/kLightSteps of light starts
// leaves a step or two to count.
unsigned char encoded(float light) {
  constexpr int kLightSteps = 4096;
  static const auto [thresholds, starts] = [] {
    std::array<float, 255> t{};
    for (int v = 0; v < 255; ++v) t[static_cast<std::size_t>(v)] = static_cast<float>(kfSrgbDecode((v + 0.5) / 255.0));
    std::array<unsigned char, kLightSteps + 1> s{};
    for (int i = 0; i <= kLightSteps; ++i)
      s[static_cast<std::size_t>(i)] = static_cast<unsigned char>(
          std::upper_bound(t.begin(), t.end(), static_cast<float>(i) / kLightSteps) - t.begin());
    return std::pair(t, s);
  }();
  if (!(light > 0.0f)) return 0;
  std::size_t v = starts[static_cast<std::size_t>(std::min(light * kLightSteps, static_cast<float>(kLightSteps)))];
  while (v < thresholds.size() && thresholds[v] <= light) ++v;
  return static_cast<unsigned char>(v);
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
  const double spacing =
      std::sqrt(std::hypot(dstToSrc(0, 0), dstToSrc(1, 0)) * std::hypot(dstToSrc(0, 1), dstToSrc(1, 1)));
  // The footprint's variance in pels^2: bilinear reading's own at a spacing
  // of one pel, where resampling turns into plain bilinear reading, growing
  // to about (kSigmaPerSpacing x spacing)^2 at wide spacings.
  // A grid spaced wider than a pel one way may be far closer the other, so
  // that the mean spacing is below a pel: bilinear reading's own then.
  double footprint = kTentVariance + kSigmaPerSpacing * kSigmaPerSpacing * std::max(0.0, spacing * spacing - 1.0);
  // A footprint wider than the plane reads all of it (spacings too wide
  // for a double, too).
  const double widest = static_cast<double>(plane.cols) * plane.cols + static_cast<double>(plane.rows) * plane.rows;
  if (!(footprint <= widest)) footprint = widest;
  // Its reach, with room for the halvings' kernels.
  const cv::Rect reached = reachedPels(dstToSrc, size, (kReach + 2.0) * std::sqrt(footprint) + 4.0, plane.size());
  cv::Mat light;
  cv::LUT(plane(reached), decodeTable(), light);

  // Each halving blurs with variance 1 of its input's pels (the binomial
  // kernel of cv::pyrDown, which suppresses what would alias) and keeps
  // level pel u at 2 u of the level below. Halving stops before the
  // Gaussian left for the level would be narrower than kNarrowest of its
  // pels.
  double scale = 1.0, variance = 0.0;
  const auto gaussianLeft = [&](double atScale) { return footprint - variance - kTentVariance * atScale * atScale; };
  const auto narrowest = [](double atScale) { return kNarrowest * kNarrowest * atScale * atScale; };
  while (gaussianLeft(2.0 * scale) - scale * scale >= narrowest(2.0 * scale) && std::min(light.cols, light.rows) >= 4) {
    cv::Mat half;
    cv::pyrDown(light, half);
    light = half;
    variance += scale * scale;
    scale *= 2.0;
  }
  const BlurredTent& reading =
      blurredTent(std::min(std::sqrt(std::max(0.0, gaussianLeft(scale))) / scale, BlurredTent::kWidest));
  const cv::Matx23d onLevel(dstToSrc(0, 0) / scale, dstToSrc(0, 1) / scale, (dstToSrc(0, 2) - reached.x) / scale,
                            dstToSrc(1, 0) / scale, dstToSrc(1, 1) / scale, (dstToSrc(1, 2) - reached.y) / scale);
  cv::Mat out(size, CV_8U);
  for (int j = 0; j < size.height; ++j) {
    unsigned char* o = out.ptr(j);
    for (int i = 0; i < size.width; ++i)
      o[i] = encoded(reading.mean(light, onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                                  onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2)));
  }
  return out;
}
