// One row of one tap of one plane of the simulated sensor: steps 4 to 9 of
// sensor_model.h for each pel, from its scene level and noise sample.
#pragma once

#include <cstdint>

// One tap's analog chain and one plane's output under a frame's settings.
struct kcSimRowTransfer {
  float scale;                  // ADC codes per scene level
  float offset;                 // ADC codes of the black level
  const float* sigma;           // noise in codes per bank unit, by level >> kSimLevelShift
  const unsigned char* output;  // the 8-bit pel of each ADC code; readable 3 bytes past the last code
};

// Noise depends on the level only through level >> kSimLevelShift.
constexpr int kSimLevelShift = 4;

// Writes out[i] for i in [0, n). Each pel is computed on its own, with the
// same single-precision operations in the same order on every path, so a
// pel's value depends neither on its neighbours nor on the processor.
using kcSimRowExposer = void (*)(const std::uint16_t* levels, const std::int8_t* noise, const kcSimRowTransfer& t,
                                 unsigned char* out, int n);

// The fastest path for this processor; callers ask once and keep it.
kcSimRowExposer kfSimRowExposer();
// The path for processors without AVX-512.
void kfSimExposeRowPortable(const std::uint16_t* levels, const std::int8_t* noise, const kcSimRowTransfer& t,
                            unsigned char* out, int n);
