#include "start_settings.h"

#include <cmath>
#include <random>

namespace {

// Exposures from a fast line scan's 2 ms to a dim bench's 100 ms, drawn
// log-uniform since the exposure scales the light: each doubling is as
// likely. The contrast anywhere in its range. The brightness within 0.2 of
// the middle: further out the black level clips most of a target or lifts
// it by a quarter of the range, which no user keeps.
constexpr double kShortestExposure = 0.002;
constexpr double kLongestExposure = 0.1;
constexpr double kLowestBrightness = 0.3;
constexpr double kHighestBrightness = 0.7;

}  // namespace

kcColorCameraSettings drawStartSettings(unsigned long seed, int pose) {
  std::seed_seq seeds{static_cast<unsigned long long>(seed), static_cast<unsigned long long>(pose)};
  std::mt19937_64 random(seeds);
  std::uniform_real_distribution<double> logExposure(std::log(kShortestExposure), std::log(kLongestExposure));
  std::uniform_real_distribution<double> contrast(0.0, 1.0), brightness(kLowestBrightness, kHighestBrightness);
  // Drawn in this order, one statement each, so that a seed keeps its starts.
  const double e = std::exp(logExposure(random));
  const double c = contrast(random);
  const double b = brightness(random);
  return {e, c, b};
}
