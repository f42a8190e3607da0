#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <tuple>

#include "colc/balance/balance.h"
#include "colc/balance/channel_fit.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
using Result = kcColorCalibrationChannelResultInternal;

unsigned char clampPel(double v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 255.0))); }

Result fitted(const Plane& src, const Plane& mask, const Plane& dst, kcDiagObject* diag = nullptr,
              unsigned long flags = 0) {
  Result result;
  kfComputeColorCalibration(src, mask, dst, result, diag, flags);
  return result;
}

}  // namespace

TEST(PlaneCalibration, IdenticalPlanesGiveAnExactTransfer) {
  const auto plane = makePlane(40, 30, [](long x, long y) { return (x * 37 + y * 11) % 256; });
  const Result identity = fitted(plane, Plane(), plane);
  EXPECT_EQ(std::make_tuple(identity.gain(), identity.offset(), identity.rmsError()), std::make_tuple(1.0, 0.0, 0.0));
  // One unsaturated value: no spread to match, and the constant transfer to it is exact.
  const auto single = makePlane(9, 9, [](long x, long) { return x < 3 ? 77 : (x < 6 ? 0 : 255); });
  const Result constant = fitted(single, Plane(), single);
  EXPECT_EQ(std::make_tuple(constant.gain(), constant.offset(), constant.rmsError()), std::make_tuple(0.0, 77.0, 0.0));
}

TEST(PlaneCalibration, RandomPairsEndAtTheLiteralErrorWithBothStepsBelowTheirLimits) {
  std::mt19937 rng(20240607);
  std::uniform_real_distribution<double> gains(0.6, 1.5), offsets(-30.0, 30.0), scene(-15.0, 270.0);
  for (int i = 0; i < 10; ++i) {
    // A camera that clips (src) and a reference holding gain * scene + offset plus noise (dst).
    const double gain = gains(rng), offset = offsets(rng);
    std::normal_distribution<double> noise(0.0, 0.5 + i * 0.4);
    auto src = makePlane(64 + i, 48, 0), dst = makePlane(64 + i, 48, 0);
    for (long y = 0; y < 48; ++y)
      for (long x = 0; x < src.width(); ++x) {
        const double t = scene(rng);
        src.pointToRow(y)[x] = clampPel(t);
        dst.pointToRow(y)[x] = clampPel(gain * t + offset + noise(rng));
      }
    const Plane mask = makePlane(64 + i, 48, [i](long x, long y) { return i % 2 && (x / 7 + y / 5) % 4 == 0 ? 0 : 255; });
    SCOPED_TRACE(::testing::Message() << "case " << i << ": gain " << gain << " offset " << offset);
    const kcChannelFit fit = kfFitChannel(src, mask, dst, nullptr, 0);
    const Result result = fitted(src, mask, dst);
    EXPECT_EQ(fieldsOf(result), fieldsOf(i % 2 ? result : fitted(src, Plane(), dst)));
    auto table = std::make_unique<kcJointTable>();
    kfBuildJointHistogram(src, mask, dst, *table);
    EXPECT_EQ(result.rmsError(), kfEvaluateMapping(*table, result.gain(), result.offset(), *std::make_unique<kcJointTable>()));
    EXPECT_LT(fit.search.gainStep, kGainStepLimit);
    EXPECT_LT(fit.search.offsetStep, kOffsetStepLimit);
    EXPECT_NEAR(result.gain(), gain, 0.05);
    EXPECT_NEAR(result.offset(), offset, 4.0);
  }
}

TEST(PlaneCalibration, RefusalsLeaveTheResultAndShowTheInputs) {
  const auto good = makePlane(8, 8, [](long x, long y) { return 10 + x * 8 + y; });
  auto elsewhere = good, partialMask = makePlane(8, 8, 255), greyMask = makePlane(8, 8, 255);
  elsewhere.offset(8, 0);
  partialMask.offset(0, 1);  // covers the common window but for its first row
  greyMask.pointToRow(3)[3] = 128;
  const auto saturated = makePlane(8, 8, [](long x, long) { return x % 2 ? 255 : 0; });
  const struct {
    Plane src, mask, dst;
  } cases[] = {{Plane(), Plane(), good},      {good, Plane(), Plane()},  {good, Plane(), elsewhere},
               {good, elsewhere, good},       {good, partialMask, good}, {good, greyMask, good},
               {good, makePlane(8, 8, 0), good}, {saturated, Plane(), good}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Result result;
    result.init(2.0, 3.0, 0.1, 0.2, 0.3, 4.0);
    const Result before = result;
    kcDiagObject diag;
    EXPECT_THROW(kfComputeColorCalibration(c.src, c.mask, c.dst, result, &diag, 0x30000),
                 kcColorCalibrationDefs::BadImages);
    EXPECT_EQ(fieldsOf(result), fieldsOf(before));
    const std::vector<std::string> inputs{"Src", "mask", "Dst"}, unmaskedInputs{"Src", "Dst"};
    EXPECT_EQ(recordNames(diag), c.mask.isBound() ? inputs : unmaskedInputs);
  }
}

TEST(PlaneCalibration, StartsFromTheMomentsOfTheActivePelsOnly) {
  // Active pairs (10, 20) and (30, 60) give gain 2, offset 0; saturated and masked-out pairs would pull it off.
  const unsigned char srcValues[] = {10, 30, 10, 30, 255, 0, 200, 200}, dstValues[] = {20, 60, 20, 60, 255, 0, 255, 9};
  const auto src = makePlane(8, 3, [&](long x, long) { return srcValues[x]; });
  const auto dst = makePlane(8, 3, [&](long x, long) { return dstValues[x]; });
  for (long masked : {7, 4}) {  // some unmasked pels saturated, or every unmasked pel active
    const auto mask = makePlane(8, 3, [&](long x, long) { return x >= masked ? 0 : 255; });
    const kcChannelFit fit = kfFitChannel(src, mask, dst, nullptr, 0);
    EXPECT_EQ(std::make_pair(fit.startGain, fit.startOffset), std::make_pair(2.0, 0.0));
  }
  // A source of one active value has no spread: 1.0 stands in for it.
  const kcChannelFit flat = kfFitChannel(makePlane(8, 3, [](long x, long) { return x < 4 ? 50 : 0; }), Plane(), dst, nullptr, 0);
  EXPECT_EQ(std::make_pair(flat.startGain, flat.startOffset), std::make_pair(20.0, 40.0 - 50.0 * 20.0));
}

TEST(PlaneCalibration, ProportionsCountTheUsablePositionsOfTheCommonWindow) {
  // Source and mask reach two columns beyond the 10 x 10 common window, saturated and masked out there.
  const auto src = makePlane(12, 10, [](long x, long y) { return x >= 10 || (x == 0 && y < 6) ? 255 : 100 + x; });
  const auto dst = makePlane(10, 10, [](long x, long y) { return y == 9 ? 0 : 90 + x + y; });
  const auto mask = makePlane(12, 10, [](long x, long y) { return (x == 0 && y < 2) || x == 5 || x >= 10 ? 0 : 255; });
  // 88 usable; 4 saturated in the source, 9 in the destination, 75 active.
  const Result masked = fitted(src, mask, dst), unmasked = fitted(src, Plane(), dst);
  EXPECT_EQ(std::make_tuple(masked.proportionActiveSrcPels(), masked.proportionActiveDstPels(),
                            masked.proportionActivePels()),
            std::make_tuple(84.0 / 88, 79.0 / 88, 75.0 / 88));
  EXPECT_EQ(unmasked.proportionActiveSrcPels(), 94.0 / 100);
  EXPECT_EQ(src.window(), kcPelRect(0, 0, 12, 10));  // the caller's window is left alone
}

TEST(PlaneCalibration, DiagnosticsFollowTheirFlags) {
  const auto src = makePlane(32, 16, [](long x, long y) { return x * 7 + y; });
  const auto dst = makePlane(32, 16, [](long x, long y) { return x * 5 + y + 9; });
  kcDiagObject diag;
  const Result result = fitted(src, makePlane(32, 16, 255), dst, &diag, 0x30000);
  fitted(src, Plane(), dst, &diag, kColorCalibrationDiagResults);
  fitted(src, Plane(), dst, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "mask", "Dst", "mapped src", "mapped src", "Src", "Dst"}));
  EXPECT_EQ(pelsOf(diag.diagRecord(3).greyImages().at(0)), pelsOf(kfPelMap(src, result.pelmap())));
  for (long i = 0; i < diag.numRecords(); ++i) EXPECT_EQ(diag.diagRecord(i).sketches().size(), i == 3 || i == 4 ? 1u : 0u);
}

TEST(PlaneCalibration, TwelveMegapixelPairFits) {
  const auto scene = [](long x, long y) { return static_cast<double>((x / 3 + y / 2) % 290) - 15.0; };
  const auto src = makePlane(4000, 3000, [&](long x, long y) { return clampPel(scene(x, y)); });
  const auto dst = makePlane(4000, 3000, [&](long x, long y) {
    return clampPel(0.8 * scene(x, y) + 20.0 + static_cast<double>((x * 7919 + y * 104729) % 5) - 2.0);
  });
  const Result result = fitted(src, Plane(), dst);
  EXPECT_NEAR(result.gain(), 0.8, 0.01);
  EXPECT_NEAR(result.offset(), 20.0, 1.0);
}
