#include "colc/records/srgb_levels.h"

// The one sRGB curve of our host, so that the correction undoes exactly
// what the host's cameras and resampling do.
#include "host/imaging/srgb.h"

double kfSrgbToLinear(double encoded) { return kfSrgbDecode(encoded); }

double kfLinearToSrgb(double linear) { return kfSrgbEncode(linear); }

const std::array<double, 256>& kfSrgbLevelsToLinear() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (std::size_t v = 0; v < t.size(); ++v) t[v] = kfSrgbDecode(static_cast<double>(v) / 255.0);
    return t;
  }();
  return table;
}
