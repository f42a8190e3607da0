// Test helpers for pel buffers: random images placed anywhere in image
// coordinates, and pel access by image coordinates for loop oracles.
#pragma once

#include <random>

#include "colc/host/imaging.h"

namespace colc_test {

// pelsWidth x pelsHeight random pels, the first at image (offsetX, offsetY);
// the window is window when given, all pels otherwise.
kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX = 0,
                                        long offsetY = 0, const kcPelRect* window = nullptr);

// The pel at image coordinates (x, y), anywhere in the pels.
unsigned char pelAt(const kcPelBuffer_const<unsigned char>& buffer, long x, long y);

}  // namespace colc_test
