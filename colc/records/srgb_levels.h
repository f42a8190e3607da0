// The sRGB transfer curve between 8-bit encoded levels and linear light,
// for the colour correction that works in linear light.
#pragma once

#include <array>

// Encoded (0..1) to linear light (0..1), and back.
double kfSrgbToLinear(double encoded);
double kfLinearToSrgb(double linear);

// Entry v: the linear light of the 8-bit level v.
const std::array<double, 256>& kfSrgbLevelsToLinear();
