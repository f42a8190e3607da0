// Test helpers for pel buffers: random images placed anywhere in image
// coordinates, and plain pel access by image coordinates for loop oracles.
#pragma once

#include <random>

#include "colc/host/imaging.h"

namespace colc_test {

// A buffer of pelsWidth x pelsHeight random pels whose first pel sits at
// image (offsetX, offsetY) and whose window is window (image coordinates).
kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX = 0,
                                        long offsetY = 0);
kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX,
                                        long offsetY, const kcPelRect& window);

// The pel at image coordinates (x, y), which must lie inside the pels.
unsigned char pelAt(const kcPelBuffer_const<unsigned char>& buffer, long x, long y);
// The pel at place (i, j) of the window.
unsigned char windowPel(const kcPelBuffer_const<unsigned char>& buffer, long i, long j);

}  // namespace colc_test
