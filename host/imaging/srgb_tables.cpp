#include "host/imaging/srgb_tables.h"

#include <algorithm>
#include <limits>

#include "host/imaging/srgb.h"

const cv::Mat& kfSrgbLightTable() {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int v = 0; v < 256; ++v) t.at<float>(v) = static_cast<float>(kfSrgbDecode(v / 255.0));
    return t;
  }();
  return table;
}

kcSrgbEncoder::kcSrgbEncoder() {
  for (int v = 0; v < 255; ++v)
    thresholds_[static_cast<std::size_t>(v)] = static_cast<float>(kfSrgbDecode((v + 0.5) / 255.0));
  thresholds_[255] = std::numeric_limits<float>::infinity();
  for (int i = 0; i <= kLightSteps; ++i)
    starts_[static_cast<std::size_t>(i)] = static_cast<unsigned char>(
        std::upper_bound(thresholds_.begin(), thresholds_.end() - 1, static_cast<float>(i) / kLightSteps) -
        thresholds_.begin());
}

const kcSrgbEncoder& kfSrgbEncoder() {
  static const kcSrgbEncoder encoder;
  return encoder;
}
