#include "support/image_random.h"

#include <stdexcept>

namespace colc_test {

kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX,
                                        long offsetY) {
  kcPelBuffer<unsigned char> buffer(pelsWidth, pelsHeight);
  std::uniform_int_distribution<int> value(0, 255);
  for (long y = 0; y < pelsHeight; ++y)
    for (long x = 0; x < pelsWidth; ++x) buffer.pointToRow(y)[x] = static_cast<unsigned char>(value(rng));
  buffer.offset(offsetX, offsetY);
  return buffer;
}

kcPelBuffer<unsigned char> randomBuffer(std::mt19937& rng, long pelsWidth, long pelsHeight, long offsetX,
                                        long offsetY, const kcPelRect& window) {
  kcPelBuffer<unsigned char> buffer = randomBuffer(rng, pelsWidth, pelsHeight, offsetX, offsetY);
  buffer.window(window, false);
  return buffer;
}

// pointToRow needs a row inside the window, so go through a copy whose
// window is all of the pels; copies share the pels.
unsigned char pelAt(const kcPelBuffer_const<unsigned char>& buffer, long x, long y) {
  const kcPelRect bounds = buffer.pelBounds();
  if (x < bounds.left || x >= bounds.right || y < bounds.top || y >= bounds.bottom)
    throw std::out_of_range("pelAt outside the pels");
  kcPelBuffer_const<unsigned char> all = buffer;
  all.window(bounds, false);
  return all.pointToRow(y)[x - bounds.left];
}

unsigned char windowPel(const kcPelBuffer_const<unsigned char>& buffer, long i, long j) {
  return buffer.pointToRow(buffer.window().top + j)[i];
}

}  // namespace colc_test
