#include <gtest/gtest.h>

#include "colc/balance/balance.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
using Result = kcColorCalibrationChannelResultInternal;
constexpr long kWidth = 40, kHeight = 30;

const auto src = makePlane(kWidth, kHeight, [](long x, long y) { return (x * 5 + y * 3) % 250; });
const auto dst = makePlane(kWidth, kHeight, [](long x, long y) { return ((x - 6) * 6 + y * 4 + x * y % 3) % 256; });

std::vector<double> fitted(const Plane& mask, const Plane& onto) {
  Result result;
  kfComputeColorCalibration(src, mask, onto, result, nullptr, 0);
  return fieldsOf(result);
}

}  // namespace

TEST(SampledCalibration, SamplesFromOutsideTheDestinationAreMaskedOut) {
  const auto callerMask = makePlane(kWidth, kHeight, [](long x, long y) { return x + y < 12 ? 0 : 255; });
  const std::vector<std::string> records[] = {{"src", "dst", "sampledDst", "Src", "Dst"},
                                              {"src", "dst", "sampledDst", "sampledDstMask", "Src", "mask", "Dst"}};
  for (long shift : {0L, 7L}) {
    SCOPED_TRACE(shift);
    // Samples at the pel centres of dst moved right by shift; those beyond its right edge are outside.
    const kcAffineSamplingParams sampling(kcAffineRectangle(kcVector<2>(kWidth / 2.0 + shift, kHeight / 2.0), kWidth,
                                                            kHeight, kcRadian(0.0), kcRadian(0.0)),
                                          kWidth, kHeight, kcAffineSamplingParams::eNearestNeighbor);
    const auto shiftedDst = makePlane(kWidth, kHeight, [=](long x, long y) { return dst.pointToRow(y)[std::min(x + shift, kWidth - 1)]; });
    const auto inside = makePlane(kWidth, kHeight, [=](long x, long) { return x + shift < kWidth ? 255 : 0; });
    Result unmasked, masked, unboundMask;
    kcDiagObject diag, withUnbound;
    kfComputeColorCalibration(src, sampling, dst, unmasked, &diag, kColorCalibrationDiagInputs);
    kfComputeColorCalibration(src, sampling, dst, unmasked, &diag, 0);
    kfComputeColorCalibration(src, sampling, dst, unmasked, nullptr, kColorCalibrationDiagInputs);
    EXPECT_EQ(fieldsOf(unmasked), fitted(shift ? Plane(inside) : Plane(), shiftedDst));
    EXPECT_EQ(recordNames(diag), records[shift ? 1 : 0]);
    EXPECT_EQ(pelsOf(diag.diagRecord(shift ? 3 : 2).greyImages().at(0)), pelsOf(shift ? inside : shiftedDst));

    kfComputeColorCalibration(src, callerMask, sampling, dst, masked, nullptr, 0);
    EXPECT_EQ(fieldsOf(masked), fitted(kfPelMin(callerMask, inside), shiftedDst));
    // An unbound caller's mask is exactly the unmasked fit, diagnostics included.
    kfComputeColorCalibration(src, Plane(), sampling, dst, unboundMask, &withUnbound, kColorCalibrationDiagInputs);
    EXPECT_EQ(fieldsOf(unboundMask), fieldsOf(unmasked));
    EXPECT_EQ(recordNames(withUnbound), records[shift ? 1 : 0]);
  }
}
