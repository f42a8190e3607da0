// The weights by which a footprint sample weighs out the pels around it:
// bilinear reading's tent blurred by a Gaussian of standard deviation sigma
// (in pels of the light image it reads), weighed out at the sample's own
// position. Without the Gaussian it is bilinear interpolation itself; with
// it, it is smooth across pels, so the result hardly depends on the
// sample's phase. The weights are separable: those of a row of pels times
// those of a column, each depending only on the sample's position within
// its pel, taken to 1/kPhases of a pel, so they come from a table.
#pragma once

#include <algorithm>
#include <vector>

class kcFootprintWeights {
 public:
  // The most taps a row or column of weights has.
  static constexpr int kTaps = 20;
  // The footprint is cut off this many standard deviations out.
  static constexpr double kReach = 3.0;
  // The widest Gaussian (standard deviation, in pels) the taps hold.
  static constexpr double kWidest = ((kTaps - 2) / 2 - 1) / kReach;

  explicit kcFootprintWeights(double sigma);

  // Pels from radius() before the sample's pel to taps() - radius() - 1
  // after it carry weight.
  int radius() const { return radius_; }
  int taps() const { return taps_; }
  // The taps rounded up to whole vectors of four.
  int width() const { return (taps_ + 3) / 4 * 4; }

  // The weights are taken to 1/kPhases of a pel.
  static constexpr int kPhases = 64;

  // The kTaps weights, past taps() zero, of a sample lying within (0 <=
  // within < 1) of a pel beyond the pel's centre.
  const float* phase(double within) const {
    const int p = std::min(static_cast<int>(within * kPhases), kPhases - 1);
    return &weights_[static_cast<std::size_t>(p * kTaps)];
  }
  // The weights of all phases, kTaps of each, phase 0 first: phase(within)
  // is phases() + p * kTaps for the p above.
  const float* phases() const { return weights_.data(); }

 private:

  int radius_;
  int taps_;
  std::vector<float> weights_;
};

// The weights of the last Gaussian asked for on this thread. All the
// measurements of a calibration sample on one grid and so ask for the same
// one; working its weights out takes thousands of erfc and exp calls.
const kcFootprintWeights& kfFootprintWeights(double sigma);
