#include <gtest/gtest.h>

#include <random>

#include "colc/balance/balance.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
constexpr long kWidth = 40, kHeight = 30;

// Samples at the pel centres of dst moved right by shift pels.
kcAffineSamplingParams shiftedSampling(long shift) {
  const kcAffineRectangle rect(kcVector<2>(kWidth / 2.0 + shift, kHeight / 2.0), kWidth, kHeight, kcRadian(0.0),
                               kcRadian(0.0));
  return kcAffineSamplingParams(rect, kWidth, kHeight, kcAffineSamplingParams::eNearestNeighbor);
}

struct Scene {
  kcPelBuffer<unsigned char> src = makePlane(kWidth, kHeight, [](long x, long y) { return (x * 5 + y * 3) % 250; });
  kcPelBuffer<unsigned char> dst =
      makePlane(kWidth, kHeight, [](long x, long y) { return ((x - 6) * 6 + y * 4 + x * y % 3) % 256; });
  kcPelBuffer<unsigned char> callerMask = makePlane(kWidth, kHeight, [](long x, long y) { return x + y < 12 ? 0 : 255; });
  // dst as the shifted sampling sees it, and the positions whose samples lie inside dst.
  Plane shiftedDst(long shift) const {
    return makePlane(kWidth, kHeight, [&](long x, long y) { return dst.pointToRow(y)[std::min(x + shift, kWidth - 1)]; });
  }
  static Plane insideMask(long shift) {
    return makePlane(kWidth, kHeight, [&](long x, long) { return x + shift < kWidth ? 255 : 0; });
  }
};

kcColorCalibrationChannelResultInternal fitted(const Plane& src, const Plane& mask, const Plane& dst) {
  kcColorCalibrationChannelResultInternal result;
  kfComputeColorCalibration(src, mask, dst, result, nullptr, 0);
  return result;
}

void expectSameFit(const kcColorCalibrationChannelResultInternal& a, const kcColorCalibrationChannelResultInternal& b) {
  EXPECT_EQ(a.gain(), b.gain());
  EXPECT_EQ(a.offset(), b.offset());
  EXPECT_EQ(a.rmsError(), b.rmsError());
  EXPECT_EQ(a.proportionActiveSrcPels(), b.proportionActiveSrcPels());
  EXPECT_EQ(a.proportionActivePels(), b.proportionActivePels());
}

}  // namespace

TEST(SampledCalibration, SamplingInsideTheDestinationNeedsNoMask) {
  const Scene scene;
  kcColorCalibrationChannelResultInternal result;
  kcDiagObject diag;
  kfComputeColorCalibration(scene.src, shiftedSampling(0), scene.dst, result, &diag, kColorCalibrationDiagInputs);
  expectSameFit(result, fitted(scene.src, Plane(), scene.dst));
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"src", "dst", "sampledDst", "Src", "Dst"}));
}

TEST(SampledCalibration, SamplesFromOutsideTheDestinationAreMaskedOut) {
  const Scene scene;
  kcColorCalibrationChannelResultInternal result;
  kcDiagObject diag;
  kfComputeColorCalibration(scene.src, shiftedSampling(7), scene.dst, result, &diag, kColorCalibrationDiagInputs);
  expectSameFit(result, fitted(scene.src, Scene::insideMask(7), scene.shiftedDst(7)));
  EXPECT_EQ(recordNames(diag),
            (std::vector<std::string>{"src", "dst", "sampledDst", "sampledDstMask", "Src", "mask", "Dst"}));
  EXPECT_EQ(pelsOf(diag.diagRecord(3).greyImages().at(0)), pelsOf(Scene::insideMask(7)));

  diag.clear();
  kfComputeColorCalibration(scene.src, shiftedSampling(7), scene.dst, result, &diag, 0);
  kfComputeColorCalibration(scene.src, shiftedSampling(7), scene.dst, result, nullptr, kColorCalibrationDiagInputs);
  EXPECT_EQ(diag.numRecords(), 0);
}

TEST(SampledCalibration, CallersMaskJoinsTheSampledMask) {
  const Scene scene;
  for (long shift : {0L, 7L}) {
    SCOPED_TRACE(shift);
    kcColorCalibrationChannelResultInternal masked, unboundMask, unmasked;
    kcDiagObject withUnbound, without;
    kfComputeColorCalibration(scene.src, scene.callerMask, shiftedSampling(shift), scene.dst, masked, nullptr, 0);
    const Plane expectedMask = shift == 0 ? Plane(scene.callerMask) : kfPelMin(scene.callerMask, Scene::insideMask(shift));
    expectSameFit(masked, fitted(scene.src, expectedMask, scene.shiftedDst(shift)));

    kfComputeColorCalibration(scene.src, Plane(), shiftedSampling(shift), scene.dst, unboundMask, &withUnbound,
                              kColorCalibrationDiagInputs);
    kfComputeColorCalibration(scene.src, shiftedSampling(shift), scene.dst, unmasked, &without,
                              kColorCalibrationDiagInputs);
    expectSameFit(unboundMask, unmasked);
    EXPECT_EQ(recordNames(withUnbound), recordNames(without));
  }
}
