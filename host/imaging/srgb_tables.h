// sRGB decoding and encoding by table, for code that turns every pel of a
// plane into light or light back into pels.
#pragma once

#include <algorithm>
#include <array>
#include <opencv2/core.hpp>

// The light of each of the 256 pel values (1 x 256, CV_32F).
const cv::Mat& kfSrgbLightTable();

// Light to the nearest encoded pel value.
class kcSrgbEncoder {
 public:
  kcSrgbEncoder();

  // The number of thresholds v at or below the light, threshold v being
  // the light at which the encoding rounds up from v to v + 1. A table of
  // where each 1/kLightSteps of light starts leaves a step or two to count.
  unsigned char operator()(float light) const {
    if (!(light > 0.0f)) return 0;
    std::size_t v = starts_[static_cast<std::size_t>(std::min(light * kLightSteps, static_cast<float>(kLightSteps)))];
    while (v < thresholds_.size() && thresholds_[v] <= light) ++v;
    return static_cast<unsigned char>(v);
  }

 private:
  static constexpr int kLightSteps = 4096;
  std::array<float, 255> thresholds_;
  std::array<unsigned char, kLightSteps + 1> starts_;
};

const kcSrgbEncoder& kfSrgbEncoder();
