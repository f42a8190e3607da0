#include "colc/literal/color_correction_literal.h"

#include <algorithm>
#include <cmath>

#include "colc/records/srgb_levels.h"

kc3PlanePelBuffer kfApplyColorCorrectionLiteral(const kcColorCorrection& correction, const kc3PlanePelBuffer& image) {
  const long width = image.width(), height = image.height();
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  const std::array<double, 256>& decoded = kfSrgbLevelsToLinear();
  const bool linear = correction.domain() == kcColorCorrection::Domain::linear;
  for (long y = 0; y < height; ++y) {
    const unsigned char* in[3];
    unsigned char* out[3];
    for (int k = 0; k < 3; ++k) {
      in[k] = image.pelPlane(k).pointToRow(image.window().top + y);
      out[k] = planes[k].pointToRow(y);
    }
    for (long x = 0; x < width; ++x) {
      std::array<double, 3> colour;
      for (std::size_t k = 0; k < 3; ++k) colour[k] = linear ? decoded[in[k][x]] : in[k][x] / 255.0;
      for (std::size_t k = 0; k < 3; ++k) {
        const auto& row = correction.coefficients()[k];
        const double v = row[0] * colour[0] + row[1] * colour[1] + row[2] * colour[2] + row[3];
        const double encoded = linear ? kfLinearToSrgb(std::clamp(v, 0.0, 1.0)) : std::clamp(v, 0.0, 1.0);
        out[k][x] = static_cast<unsigned char>(std::lround(255.0 * encoded));
      }
    }
  }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}
