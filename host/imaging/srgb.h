// The sRGB transfer curve, by which 8-bit colour pels encode light. Where
// host code blends pels the way optics and sensors blend light (resampling,
// blurring), it works on the decoded, linear values.
#pragma once

#include <cmath>

// Encoded value (0..1) to linear light (0..1), and back.
inline double kfSrgbDecode(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}
inline double kfSrgbEncode(double linear) {
  return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}
