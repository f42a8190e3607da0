// An 8-bit colour image as most image libraries hold one: the channels of
// a pel side by side, rows one after the other. Corrections read and write
// such pels where they lie, so that an application's frames need neither
// splitting into planes nor copying.
#pragma once

#include <array>

template <class Pel>
struct kcInterleavedPels {
  // The first byte of the top-left pel.
  Pel* pels = nullptr;
  long width = 0;
  long height = 0;
  // Bytes from one row to the next.
  long rowStride = 0;
  // Bytes from one pel to the next: 3, or 1 for a grey image whose one
  // value stands for all three planes.
  long pelStep = 3;
  // Where planes 0, 1 and 2 (red, green, blue) lie within a pel; the
  // default is the blue-green-red order.
  std::array<long, 3> planeOffsets = {2, 1, 0};
};
