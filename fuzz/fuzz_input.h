// Arbitrary bytes taken apart into the small numbers and pel buffers that
// the targets need. Reading past the end gives 0, so every input, however
// short, describes something.
#pragma once

#include <cstdint>
#include <span>

#include "colc/host/imaging.h"

class FuzzInput {
 public:
  explicit FuzzInput(std::span<const std::uint8_t> data) : data_(data) {}

  std::uint8_t byte() { return position_ < data_.size() ? data_[position_++] : 0; }
  // A number in [0, limit].
  long upTo(long limit) { return limit <= 0 ? 0 : byte() % (limit + 1); }
  // A number in [-limit, limit].
  long around(long limit) { return upTo(2 * limit) - limit; }
  // One of a few telling values or a random one, for geometry and transfers.
  double real(double scale) {
    switch (byte() % 8) {
      case 0: return 0.0;
      case 1: return scale;
      case 2: return -scale;
      case 3: return scale / 2.0;  // lands samples and transfers on halves
      default: return scale * (static_cast<std::int8_t>(byte()) / 64.0);
    }
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

// Pels of a mask: mostly the 0 and 255 a mask may hold, now and then anything.
inline unsigned char maskPel(std::uint8_t b) { return b < 112 ? 0 : (b < 248 ? 255 : b); }

// A buffer of width x height pels plus up to `margin` more on each side,
// placed at a small offset, with its window on the width x height part.
// Every pel comes from the input (passed through pel()).
template <class PelOf>
kcPelBuffer<unsigned char> fuzzPlane(FuzzInput& in, long width, long height, long margin, PelOf pel) {
  const long left = in.upTo(margin), top = in.upTo(margin);
  kcPelBuffer<unsigned char> plane(width + left + in.upTo(margin), height + top + in.upTo(margin));
  plane.offset(in.around(4), in.around(4));
  const kcPelRect all = plane.window();
  for (long y = all.top; y < all.bottom; ++y)
    for (long x = 0; x < all.width(); ++x) plane.pointToRow(y)[x] = pel(in.byte());
  plane.window(kcPelRect(all.left + left, all.top + top, all.left + left + width, all.top + top + height), false);
  return plane;
}

inline kcPelBuffer<unsigned char> fuzzPlane(FuzzInput& in, long width, long height, long margin) {
  return fuzzPlane(in, width, height, margin, [](std::uint8_t b) { return b; });
}
