#include "host/imaging/footprint_weights.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The tent convolved with the Gaussian at offset t: the second difference
// of the ramp max(t, 0) convolved with the Gaussian.
double blurredTent(double t, double sigma) {
  const auto rampBlurred = [sigma](double x) {
    if (sigma == 0.0) return std::max(x, 0.0);
    const double z = x / sigma;
    return x * 0.5 * std::erfc(-z / std::sqrt(2.0)) + sigma * std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
  };
  return std::max(0.0, rampBlurred(t + 1.0) - 2.0 * rampBlurred(t) + rampBlurred(t - 1.0));
}

}  // namespace

kcFootprintWeights::kcFootprintWeights(double sigma)
    : radius_(static_cast<int>(std::ceil(1.0 + kReach * sigma))), taps_(2 * radius_ + 2), weights_(kPhases * kTaps) {
  for (int p = 0; p < kPhases; ++p) {
    float* w = &weights_[static_cast<std::size_t>(p * kTaps)];
    const double within = (p + 0.5) / kPhases;
    double sum = 0.0;
    for (int k = 0; k < taps_; ++k) sum += w[k] = static_cast<float>(blurredTent(k - radius_ - within, sigma));
    for (int k = 0; k < taps_; ++k) w[k] = static_cast<float>(w[k] / sum);
  }
}

const kcFootprintWeights& kfFootprintWeights(double sigma) {
  thread_local std::optional<kcFootprintWeights> last;
  thread_local double lastSigma = 0.0;
  if (!last || lastSigma != sigma) {
    last.emplace(sigma);
    lastSigma = sigma;
  }
  return *last;
}
