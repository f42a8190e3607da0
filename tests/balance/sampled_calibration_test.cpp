#include <gtest/gtest.h>

#include "colc/balance/balance.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
using Result = kcColorCalibrationChannelResultInternal;
constexpr long kWidth = 40, kHeight = 30;

// Samples at the pel centres of dst, moved right by shift pels.
kcAffineSamplingParams shiftedSampling(long shift) {
  return kcAffineSamplingParams(kcAffineRectangle(kcVector<2>(kWidth / 2.0 + shift, kHeight / 2.0), kWidth, kHeight,
                                                  kcRadian(0.0), kcRadian(0.0)),
                                kWidth, kHeight, kcAffineSamplingParams::eNearestNeighbor);
}

const auto src = makePlane(kWidth, kHeight, [](long x, long y) { return (x * 5 + y * 3) % 250; });
const auto dst = makePlane(kWidth, kHeight, [](long x, long y) { return ((x - 6) * 6 + y * 4 + x * y % 3) % 256; });

// dst as the shifted sampling sees it, and where its samples lie inside dst.
Plane shiftedDst(long shift) {
  return makePlane(kWidth, kHeight, [=](long x, long y) { return dst.pointToRow(y)[std::min(x + shift, kWidth - 1)]; });
}
Plane insideMask(long shift) { return makePlane(kWidth, kHeight, [=](long x, long) { return x + shift < kWidth ? 255 : 0; }); }

std::vector<double> fitted(const Plane& mask, const Plane& onto) {
  Result result;
  kfComputeColorCalibration(src, mask, onto, result, nullptr, 0);
  return fieldsOf(result);
}

}  // namespace

TEST(SampledCalibration, SamplesFromOutsideTheDestinationAreMaskedOut) {
  const std::vector<std::string> records[] = {{"src", "dst", "sampledDst", "Src", "Dst"},
                                              {"src", "dst", "sampledDst", "sampledDstMask", "Src", "mask", "Dst"}};
  for (long shift : {0L, 7L}) {
    SCOPED_TRACE(shift);
    Result result;
    kcDiagObject diag;
    kfComputeColorCalibration(src, shiftedSampling(shift), dst, result, &diag, kColorCalibrationDiagInputs);
    kfComputeColorCalibration(src, shiftedSampling(shift), dst, result, &diag, 0);
    kfComputeColorCalibration(src, shiftedSampling(shift), dst, result, nullptr, kColorCalibrationDiagInputs);
    EXPECT_EQ(fieldsOf(result), fitted(shift ? insideMask(shift) : Plane(), shiftedDst(shift)));
    EXPECT_EQ(recordNames(diag), records[shift ? 1 : 0]);
    if (shift) {
      EXPECT_EQ(pelsOf(diag.diagRecord(3).greyImages().at(0)), pelsOf(insideMask(shift)));
    }
  }
}

TEST(SampledCalibration, CallersMaskJoinsTheSampledMask) {
  const auto callerMask = makePlane(kWidth, kHeight, [](long x, long y) { return x + y < 12 ? 0 : 255; });
  for (long shift : {0L, 7L}) {
    SCOPED_TRACE(shift);
    Result masked, unboundMask, unmasked;
    kfComputeColorCalibration(src, callerMask, shiftedSampling(shift), dst, masked, nullptr, 0);
    EXPECT_EQ(fieldsOf(masked), fitted(kfPelMin(callerMask, insideMask(shift)), shiftedDst(shift)));
    // An unbound caller's mask is exactly the unmasked fit, diagnostics included.
    kcDiagObject withUnbound, without;
    kfComputeColorCalibration(src, Plane(), shiftedSampling(shift), dst, unboundMask, &withUnbound, 0x30000);
    kfComputeColorCalibration(src, shiftedSampling(shift), dst, unmasked, &without, 0x30000);
    EXPECT_EQ(fieldsOf(unboundMask), fieldsOf(unmasked));
    EXPECT_EQ(recordNames(withUnbound), recordNames(without));
  }
}
