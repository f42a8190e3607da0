#include "host/acq/aravis/frame_decoder.h"

#include <arv.h>
#include <gtest/gtest.h>

#include <array>
#include <random>

namespace {

struct Rgb {
  unsigned char r, g, b;
};

Rgb pelOf(const kc3PlanePelBuffer& image, long x, long y) {
  return {image.plane0().pointToRow(y)[x], image.plane1().pointToRow(y)[x], image.plane2().pointToRow(y)[x]};
}

}  // namespace

// Interleaved formats keep every pel, in the right plane order, across
// padded rows; grey gives three equal planes.
TEST(FrameDecoder, InterleavedAndGreyFramesKeepEveryPel) {
  const int width = 7, height = 5;
  const std::size_t stride = 3 * width + 4;
  std::mt19937 rng(3);
  std::vector<unsigned char> data(stride * height);
  for (auto& byte : data) byte = static_cast<unsigned char>(rng());

  const kc3PlanePelBuffer rgb = kfDecodeFrame(ARV_PIXEL_FORMAT_RGB_8_PACKED, width, height, stride, data.data(), data.size());
  const kc3PlanePelBuffer bgr = kfDecodeFrame(ARV_PIXEL_FORMAT_BGR_8_PACKED, width, height, stride, data.data(), data.size());
  const kc3PlanePelBuffer grey = kfDecodeFrame(ARV_PIXEL_FORMAT_MONO_8, width, height, stride, data.data(), data.size());
  ASSERT_EQ(rgb.width(), width);
  ASSERT_EQ(rgb.height(), height);
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      const unsigned char* p = &data[y * stride + 3 * x];
      const Rgb a = pelOf(rgb, x, y), b = pelOf(bgr, x, y), g = pelOf(grey, x, y);
      EXPECT_EQ((std::array{a.r, a.g, a.b}), (std::array{p[0], p[1], p[2]})) << x << "," << y;
      EXPECT_EQ((std::array{b.r, b.g, b.b}), (std::array{p[2], p[1], p[0]})) << x << "," << y;
      const unsigned char v = data[y * stride + x];
      EXPECT_EQ((std::array{g.r, g.g, g.b}), (std::array{v, v, v})) << x << "," << y;
    }
}

TEST(FrameDecoder, RefusesFramesItCannotReadWhole) {
  std::vector<unsigned char> data(64 * 3);
  EXPECT_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_MONO_16, 8, 8, 16, data.data(), data.size()), kcBadArgument);
  EXPECT_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_RGB_8_PACKED, 8, 8, 24, data.data(), data.size() - 1), kcBadArgument);
  EXPECT_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_RGB_8_PACKED, 8, 8, 23, data.data(), data.size()), kcBadArgument);
  EXPECT_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_MONO_8, 0, 8, 8, data.data(), data.size()), kcBadArgument);
  EXPECT_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_MONO_8, 8, 8, 8, nullptr, data.size()), kcBadArgument);
  // A last row without padding is enough.
  EXPECT_NO_THROW(kfDecodeFrame(ARV_PIXEL_FORMAT_MONO_8, 8, 8, 10, data.data(), 7 * 10 + 8));
}
