#include "support/image_random.h"

#include <stdexcept>

namespace colc_test {

kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX,
                                        long offsetY, const kcPelRect* window) {
  kcPelBuffer<unsigned char> buffer(pelsWidth, pelsHeight);
  std::uniform_int_distribution<int> value(0, 255);
  for (long y = 0; y < pelsHeight; ++y)
    for (long x = 0; x < pelsWidth; ++x) buffer.pointToRow(y)[x] = static_cast<unsigned char>(value(rng));
  buffer.offset(offsetX, offsetY);
  if (window) buffer.window(*window, false);
  return buffer;
}

unsigned char pelAt(const kcPelBuffer_const<unsigned char>& buffer, long x, long y) {
  const kcPelRect bounds = buffer.pelBounds();
  if (x < bounds.left || x >= bounds.right || y < bounds.top || y >= bounds.bottom)
    throw std::out_of_range("pelAt outside the pels");
  kcPelBuffer_const<unsigned char> all = buffer;  // shares the pels
  all.window(bounds, false);
  return all.pointToRow(y)[x - bounds.left];
}

}  // namespace colc_test
