#include "colc/tool/internal/camera_response.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "colc/balance/color_correction_fit.h"
#include "colc/host/light.h"
#include "colc/records/errors.h"

namespace {

// Pels at or beyond these may be clipped: they say nothing about the light.
constexpr unsigned char kLowestUnclipped = 2;
constexpr unsigned char kHighestUnclipped = 253;
// Fewer unclipped samples than this teach nothing.
constexpr std::size_t kMinSamples = 50;
// The share of the base's brightest samples that may clip at full scale.
constexpr double kFullScaleQuantile = 0.995;

constexpr float kClipped = std::numeric_limits<float>::quiet_NaN();

const kcPelBuffer<unsigned char>& planeOf(const kc3PlanePelBuffer& image, int k) { return image.pelPlane(k); }

// The light of every sample in row order; with clippedUnknown, NaN where
// the pel may be clipped.
std::vector<float> lightOf(const kcPelBuffer<unsigned char>& plane, bool clippedUnknown) {
  std::vector<float> light;
  light.reserve(static_cast<std::size_t>(plane.width() * plane.height()));
  for (long y = plane.window().top; y < plane.window().bottom; ++y) {
    const unsigned char* row = plane.pointToRow(y);
    for (long x = 0; x < plane.width(); ++x) {
      const bool clipped = row[x] < kLowestUnclipped || row[x] > kHighestUnclipped;
      light.push_back(clippedUnknown && clipped ? kClipped : static_cast<float>(kfPelLight(row[x])));
    }
  }
  return light;
}

// Least squares y = slope x + intercept over the samples known in both.
struct Line {
  double slope = 0.0;
  double intercept = 0.0;
  std::size_t samples = 0;
};

Line fitLine(const std::vector<float>& x, const std::vector<float>& y) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::isnan(x[i]) || std::isnan(y[i])) continue;
    sx += x[i];
    sy += y[i];
    sxx += static_cast<double>(x[i]) * x[i];
    sxy += static_cast<double>(x[i]) * y[i];
    ++n;
  }
  const double d = static_cast<double>(n) * sxx - sx * sx;
  if (n < kMinSamples || !(d > 0.0)) return {};
  const double slope = (static_cast<double>(n) * sxy - sx * sy) / d;
  return {slope, (sy - slope * sx) / static_cast<double>(n), n};
}

// The mean of the values learnt, for the planes that learnt nothing.
void fillUnlearnt(std::array<double, 3>& values, const std::array<bool, 3>& learnt) {
  double sum = 0.0;
  int n = 0;
  for (int k = 0; k < 3; ++k)
    if (learnt[k]) sum += values[k], ++n;
  for (int k = 0; k < 3; ++k)
    if (!learnt[k] && n > 0) values[k] = sum / n;
}

// Per plane, the black level under the reference's flat areas: the
// offset of the view's light fitted as an affine function of all three
// planes of the reference's light, where the view is unclipped. With
// cross-talk a plane also sees the other planes' light, and a line through
// its own light alone takes the mean of that leak for black; on edges the
// resampling mixes encoded pels, which darkens them. Nothing when the
// reference's colours cannot tell the planes apart (a grey target) or it
// has too few flat samples.
std::optional<std::array<double, 3>> flatAreasBlack(const kc3PlanePelBuffer& view,
                                                    const kc3PlanePelBuffer& reference) {
  kcPelBuffer<unsigned char> mask = kfFlatRegionMask(reference);
  for (long y = 0; y < view.height(); ++y) {
    unsigned char* m = mask.pointToRow(y);
    for (int k = 0; k < 3; ++k) {
      const unsigned char* row = planeOf(view, k).pointToRow(planeOf(view, k).window().top + y);
      for (long x = 0; x < view.width(); ++x)
        if (row[x] < kLowestUnclipped || row[x] > kHighestUnclipped) m[x] = 0;
    }
  }
  try {
    const kcColorCorrection fit = kfComputeColorCorrection(reference, view, mask, kcColorCorrection::Domain::linear);
    std::array<double, 3> black{};
    for (int k = 0; k < 3; ++k) black[static_cast<std::size_t>(k)] = fit.coefficients()[static_cast<std::size_t>(k)][3];
    return black;
  } catch (const kcColorCalibrationDefs::BadImages&) {
    return std::nullopt;
  }
}

// The brightness at which a black level, known at a brightness, reaches zero.
double zeroCrossing(double black, double brightness, double slope) { return brightness - black / slope; }

}  // namespace

std::optional<kcCameraResponse> kcCameraResponse::learn(const kcColorCameraSettings& base,
                                                        const kc3PlanePelBuffer& baseView,
                                                        const kc3PlanePelBuffer& reference) {
  if (!(base.exposure() > 0.0)) return std::nullopt;
  kcCameraResponse model;
  model.base_ = base;
  model.width_ = baseView.width();
  model.height_ = baseView.height();
  std::array<double, 3> gain{};
  std::array<bool, 3> learnt{};
  std::array<std::vector<float>, 3> referenceLight;
  for (int k = 0; k < 3; ++k) {
    model.baseLight_[k] = lightOf(planeOf(baseView, k), true);
    referenceLight[k] = lightOf(planeOf(reference, k), false);
    const Line line = fitLine(referenceLight[k], model.baseLight_[k]);
    learnt[k] = line.samples > 0 && line.slope > 0.0;
    if (learnt[k]) gain[k] = line.slope, model.black0_[k] = line.intercept;
  }
  if (!learnt[0] && !learnt[1] && !learnt[2]) return std::nullopt;
  fillUnlearnt(gain, learnt);
  // The black under the flat areas is the camera's own: exposure and gain
  // scale the leaked light with the rest, so the predictions keep it in the
  // signal rather than in the black.
  if (const std::optional<std::array<double, 3>> flat = flatAreasBlack(baseView, reference)) {
    model.black0_ = *flat;
    model.flatBlack0_ = std::accumulate(flat->begin(), flat->end(), 0.0) / 3.0;
  }
  // Where the base view clipped, the reference stands in for what it saw.
  for (int k = 0; k < 3; ++k) {
    std::vector<float>& signal = model.signal_[k];
    signal.resize(model.baseLight_[k].size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
      const float seen = model.baseLight_[k][i];
      signal[i] = static_cast<float>(std::isnan(seen) ? gain[k] * referenceLight[k][i] : seen - model.black0_[k]);
    }
  }
  return model;
}

void kcCameraResponse::learnBlack(const kcColorCameraSettings& settings, const kc3PlanePelBuffer& view) {
  const double step = settings.brightness() - base_.brightness();
  if (step == 0.0) return;
  std::array<bool, 3> learnt{};
  for (int k = 0; k < 3; ++k) {
    // Only the black level moved: the light moved by the same amount everywhere.
    const std::vector<float> light = lightOf(planeOf(view, k), true);
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < light.size(); ++i) {
      if (std::isnan(light[i]) || std::isnan(baseLight_[k][i])) continue;
      sum += light[i] - baseLight_[k][i];
      ++n;
    }
    learnt[k] = n >= kMinSamples;
    if (learnt[k]) blackSlope_[k] = sum / static_cast<double>(n) / step;
  }
  if (!learnt[0] && !learnt[1] && !learnt[2]) return;
  fillUnlearnt(blackSlope_, learnt);
  blackKnown_ = true;
}

void kcCameraResponse::learnGain(const kcColorCameraSettings& settings, const kc3PlanePelBuffer& view) {
  const double step = settings.contrast() - base_.contrast();
  if (step == 0.0) return;
  double sum = 0.0;
  int n = 0;
  for (int k = 0; k < 3; ++k) {
    const Line line = fitLine(baseLight_[k], lightOf(planeOf(view, k), true));
    if (line.samples == 0 || !(line.slope > 0.0)) continue;
    sum += std::log(line.slope) / step;
    ++n;
  }
  if (n > 0) gainSlope_ = sum / n;
}

double kcCameraResponse::level(const kcColorCameraSettings& settings) const {
  return settings.exposure() / base_.exposure() * std::exp(gainSlope_ * (settings.contrast() - base_.contrast()));
}

double kcCameraResponse::meanBlackSlope() const {
  return std::accumulate(blackSlope_.begin(), blackSlope_.end(), 0.0) / 3.0;
}

double kcCameraResponse::blackZeroBrightness() const {
  const double black = std::accumulate(black0_.begin(), black0_.end(), 0.0) / 3.0;
  if (!blackKnown_ || meanBlackSlope() == 0.0) return base_.brightness();
  return zeroCrossing(black, base_.brightness(), meanBlackSlope());
}

std::optional<double> kcCameraResponse::unclippedBrightness() const {
  if (!blackKnown_ || meanBlackSlope() == 0.0 || !flatBlack0_) return std::nullopt;
  return zeroCrossing(*flatBlack0_, base_.brightness(), meanBlackSlope());
}

double kcCameraResponse::fullScaleLevel() const {
  std::vector<float> all;
  for (const auto& signal : signal_) all.insert(all.end(), signal.begin(), signal.end());
  const auto at = all.begin() + static_cast<std::ptrdiff_t>(kFullScaleQuantile * static_cast<double>(all.size() - 1));
  std::nth_element(all.begin(), at, all.end());
  return *at > 0.0f ? 1.0 / *at : 1.0;
}

kc3PlanePelBuffer kcCameraResponse::predictedView(double level, double brightness) const {
  kcPelBuffer<unsigned char> planes[3] = {{width_, height_}, {width_, height_}, {width_, height_}};
  std::vector<float> light(static_cast<std::size_t>(width_));
  for (int k = 0; k < 3; ++k) {
    const auto black = static_cast<float>(black0_[k] + blackSlope_[k] * (brightness - base_.brightness()));
    const auto gain = static_cast<float>(level);
    const float* signal = signal_[k].data();
    for (long y = 0; y < height_; ++y, signal += width_) {
      for (long x = 0; x < width_; ++x) light[x] = gain * signal[x] + black;
      kfLightPels(light.data(), width_, planes[k].pointToRow(y));
    }
  }
  return {planes[0], planes[1], planes[2]};
}
