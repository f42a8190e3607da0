// Pel buffers described by fuzz input, and their pels read back.
#pragma once

#include <cstdint>
#include <vector>

#include "colc/host/imaging.h"
#include "fuzz/fuzz_input.h"

// Pels of a mask: mostly the 0 and 255 a mask may hold, now and then anything.
inline unsigned char maskPel(std::uint8_t b) { return b < 112 ? 0 : (b < 248 ? 255 : b); }

// A buffer of width x height pels plus up to `margin` more on each side,
// placed at a small offset, with its window on the width x height part.
// Every pel comes from the input (passed through pel()).
template <class PelOf>
kcPelBuffer<unsigned char> fuzzPlane(FuzzInput& in, long width, long height, long margin, PelOf pel) {
  // One read per statement: the order in which arguments are evaluated is
  // unspecified, and an input must mean the same to every compiler.
  const long left = in.upTo(margin);
  const long top = in.upTo(margin);
  const long right = in.upTo(margin);
  const long bottom = in.upTo(margin);
  const long offsetX = in.around(4);
  const long offsetY = in.around(4);
  kcPelBuffer<unsigned char> plane(left + width + right, top + height + bottom);
  plane.offset(offsetX, offsetY);
  const kcPelRect all = plane.window();
  for (long y = all.top; y < all.bottom; ++y)
    for (long x = 0; x < all.width(); ++x) plane.pointToRow(y)[x] = pel(in.byte());
  plane.window(kcPelRect(all.left + left, all.top + top, all.left + left + width, all.top + top + height), false);
  return plane;
}

inline kcPelBuffer<unsigned char> fuzzPlane(FuzzInput& in, long width, long height, long margin) {
  return fuzzPlane(in, width, height, margin, [](std::uint8_t b) { return b; });
}

// The pels of a buffer's window, row by row.
inline std::vector<unsigned char> fuzzWindowPels(const kcPelBuffer_const<unsigned char>& plane) {
  std::vector<unsigned char> pels;
  for (long y = plane.window().top; y < plane.window().bottom; ++y)
    pels.insert(pels.end(), plane.pointToRow(y), plane.pointToRow(y) + plane.width());
  return pels;
}

// Everything a caller could see change in a buffer: its placement, window,
// client transform and all its pels.
struct FuzzPlaneState {
  kcPelRect bounds;
  kcPelRect window;
  kcXform<2> clientFromImage;
  std::vector<unsigned char> pels;
  bool operator==(const FuzzPlaneState&) const = default;
};

inline FuzzPlaneState fuzzStateOf(const kcPelBuffer_const<unsigned char>& plane) {
  if (!plane.isBound()) return {};
  kcPelBuffer_const<unsigned char> all = plane;
  all.window(all.pelBounds(), false);
  return {plane.pelBounds(), plane.window(), plane.clientFromImageXform(), fuzzWindowPels(all)};
}
