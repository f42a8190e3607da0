// The fit of interleaved pels against the fit of the same images' planes:
// the same bits, with and without a mask, and the same refusals.
#include <gtest/gtest.h>

#include <random>

#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

// Interleaved pels, three bytes a pel in the order given (the byte of red,
// green and blue), rows padded by 3 bytes, and the same image as planes.
struct Image {
  Image(long width, long height, std::array<long, 3> order, const std::function<std::array<int, 3>(long, long)>& at)
      : width(width), height(height), order(order), bytes(static_cast<std::size_t>((3 * width + 3) * height)) {
    kcPelBuffer<unsigned char> planes[3];
    for (std::size_t k = 0; k < 3; ++k)
      planes[k] = makePlane(width, height, [&](long x, long y) {
        const auto v = static_cast<unsigned char>(std::clamp(at(x, y)[k], 0, 255));
        bytes[static_cast<std::size_t>(y * (3 * width + 3) + 3 * x + order[k])] = v;
        return v;
      });
    planar = kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
  }
  kcInterleavedPels<const unsigned char> pels() const { return {bytes.data(), width, height, 3 * width + 3, 3, order}; }

  long width, height;
  std::array<long, 3> order;
  std::vector<unsigned char> bytes;
  kc3PlanePelBuffer planar;
};

std::vector<std::vector<double>> fields(const kcColorCalibrationResultInternal& result) {
  std::vector<std::vector<double>> all;
  for (const auto& channel : result.results()) all.push_back(fieldsOf(channel));
  return all;
}

TEST(InterleavedFit, GivesTheBitsOfTheFitOnPlanes) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 4.0);
  const auto camera = [&](long x, long y) {
    return std::array<int, 3>{static_cast<int>(x * 3 % 256), static_cast<int>((x + 2 * y) % 256),
                              static_cast<int>(y * 5 % 256)};
  };
  const Image src(83, 61, {2, 1, 0}, camera);
  const Image dst(83, 61, {0, 1, 2}, [&](long x, long y) {
    const auto c = camera(x, y);
    return std::array<int, 3>{static_cast<int>(1.2 * c[0] - 10 + noise(rng)), static_cast<int>(0.9 * c[1] + 20),
                              static_cast<int>(1.4 * c[2] - 30 + noise(rng))};
  });
  // A mask larger than the images, 0 over the first rows.
  const kcPelBuffer<unsigned char> mask = makePlane(90, 70, [](long, long y) -> unsigned char { return y < 9 ? 0 : 255; });
  for (const bool masked : {false, true}) {
    const kcPelBuffer_const<unsigned char> m = masked ? kcPelBuffer_const<unsigned char>(mask) : kcPelBuffer_const<unsigned char>();
    kcColorCalibrationResultInternal onPlanes, interleaved;
    kfComputeColorCalibration(src.planar, m, dst.planar, onPlanes, nullptr, 0);
    kfFitInterleavedPels(src.pels(), m, dst.pels(), interleaved);
    EXPECT_EQ(fields(interleaved), fields(onPlanes)) << masked;
  }
}

TEST(InterleavedFit, RefusesWhatTheFitOnPlanesRefuses) {
  const auto grey = [](long x, long y) { return std::array<int, 3>{int(x + y), int(x + y), int(x + y)}; };
  const Image src(20, 10, {2, 1, 0}, grey), narrower(19, 10, {2, 1, 0}, grey);
  kcColorCalibrationResultInternal result;
  EXPECT_THROW(kfFitInterleavedPels(src.pels(), {}, narrower.pels(), result), kcColorCalibrationDefs::BadParams);
  const kcPelBuffer<unsigned char> small = makePlane(20, 9, 255), notBinary = makePlane(25, 10, 7);
  EXPECT_THROW(kfFitInterleavedPels(src.pels(), small, src.pels(), result), kcColorCalibrationDefs::BadImages);
  EXPECT_THROW(kfFitInterleavedPels(src.pels(), notBinary, src.pels(), result), kcColorCalibrationDefs::BadImages);
  // Binary over the images but not beyond them, as the fit on planes checks.
  const kcPelBuffer<unsigned char> spoiledBeyond =
      makePlane(25, 10, [](long x, long) -> unsigned char { return x < 20 ? 255 : 7; });
  EXPECT_THROW(kfFitInterleavedPels(src.pels(), spoiledBeyond, src.pels(), result),
               kcColorCalibrationDefs::BadImages);
}

}  // namespace
