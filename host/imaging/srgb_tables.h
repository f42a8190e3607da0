// sRGB decoding and encoding by table, for code that turns every pel of a
// plane into light or light back into pels.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <opencv2/core.hpp>

// The light of each of the 256 pel values (1 x 256, CV_32F).
const cv::Mat& kfSrgbLightTable();

// Light to the nearest encoded pel value.
class kcSrgbEncoder {
 public:
  kcSrgbEncoder();

  // The number of thresholds v at or below the light, threshold v being
  // the light at which the encoding rounds up from v to v + 1. A table of
  // where each 1/kLightSteps of light starts leaves a threshold or none to
  // count: the thresholds lie more than a step apart. The first is counted
  // without a branch, which would be mispredicted half the time.
  unsigned char operator()(float light) const {
    if (!(light > 0.0f)) return 0;
    std::size_t v = starts_[static_cast<std::size_t>(
        static_cast<int>(std::min(light * kLightSteps, static_cast<float>(kLightSteps))))];
    v += thresholds_[v] <= light ? 1 : 0;
    while (thresholds_[v] <= light) ++v;
    return static_cast<unsigned char>(v);
  }

 private:
  static constexpr int kLightSteps = 4096;
  // The 255 thresholds, then one that no light reaches.
  std::array<float, 256> thresholds_;
  std::array<unsigned char, kLightSteps + 1> starts_;
};

const kcSrgbEncoder& kfSrgbEncoder();
