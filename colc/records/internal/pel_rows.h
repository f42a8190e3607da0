// Colour images as the corrections walk them, row by row: planar images
// (kc3PlanePelBuffer) and interleaved ones (kcInterleavedPels) alike.
#pragma once

#include <array>

#include "colc/host/imaging.h"
#include "colc/records/interleaved_pels.h"
#include "colc/records/internal/correction_rows.h"

// Plane k of pel (x, y) at first[k] + y * rowStride[k] + x * step.
template <class Pel>
struct kcPelRows {
  std::array<Pel*, 3> first;
  std::array<long, 3> rowStride;
  long step;
  long width;
  long height;

  kcPelRun<Pel> row(long y) const {
    return {{first[0] + y * rowStride[0], first[1] + y * rowStride[1], first[2] + y * rowStride[2]}, step};
  }
};

// Throws kcBadPointer, naming what, for an unbound image.
kcPelRows<const unsigned char> kfPelRowsOf(const kc3PlanePelBuffer& image, const char* what);
kcPelRows<unsigned char> kfWritablePelRowsOf(const kc3PlanePelBuffer& image, const char* what);
// Throws BadParams, naming what, for no pels, a pel step below 1, a plane
// outside the pel and, with distinct, two planes on one byte.
kcPelRows<const unsigned char> kfPelRowsOf(const kcInterleavedPels<const unsigned char>& image, const char* what);
kcPelRows<unsigned char> kfWritablePelRowsOf(const kcInterleavedPels<unsigned char>& image, const char* what);

// Throws BadParams for images of different sizes, and for an out that
// shares pels with in unless each pel and plane is the same byte in both
// (a correction in place).
void kfCheckInPlaceOrApart(const kcPelRows<const unsigned char>& in, const kcPelRows<unsigned char>& out);
