// The fits that balance.h offers: of one plane, with a mask, by sampling
// and of colour images, and the text that shows a fit; the one-pass fit
// against its literal form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <tuple>

#include "colc/balance/balance.h"
#include "colc/literal/channel_fit_literal.h"
#include "colc/literal/joint_table_literal.h"
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

std::vector<double> unmaskedFit(const Plane& src, const Plane& dst) {
  Result result;
  kfComputeColorCalibration(src, dst, result, nullptr, 0);
  return fieldsOf(result);
}

kcPelBuffer<unsigned char> ramp(int slope, int start) {
  return makePlane(24, 16, [=](long x, long y) { return start + slope * x + y + 3; });
}

auto fields(const kcChannelFit& f) {
  return std::make_tuple(f.gain, f.offset, f.rmsError, f.proportionActiveSrcPels, f.proportionActiveDstPels,
                         f.proportionActivePels, f.startGain, f.startOffset, f.search.gainStep, f.search.offsetStep,
                         f.search.rounds, f.search.stalled);
}

// The fit's fields, or nothing when it refuses the images.
std::optional<decltype(fields(kcChannelFit()))> fitOrRefusal(const auto& fit) {
  try {
    return fields(fit());
  } catch (const kcColorCalibrationDefs::BadImages&) {
    return std::nullopt;
  }
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
    const Plane mask =
        makePlane(64 + i, 48, [i](long x, long y) { return i % 2 && (x / 7 + y / 5) % 4 == 0 ? 0 : 255; });
    SCOPED_TRACE(::testing::Message() << "case " << i << ": gain " << gain << " offset " << offset);
    const kcChannelFit fit = kfFitChannel(src, mask, dst, nullptr, 0);
    const Result result = fitted(src, mask, dst);
    EXPECT_EQ(fieldsOf(result), fieldsOf(i % 2 ? result : fitted(src, Plane(), dst)));
    auto table = std::make_unique<kcJointTable>();
    kfBuildJointHistogram(src, mask, dst, *table);
    EXPECT_EQ(result.rmsError(),
              kfEvaluateMapping(*table, result.gain(), result.offset(), *std::make_unique<kcJointTable>()));
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
  } cases[] = {{Plane(), Plane(), good},         {good, Plane(), Plane()},  {good, Plane(), elsewhere},
               {good, elsewhere, good},          {good, partialMask, good}, {good, greyMask, good},
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
  const kcChannelFit flat =
      kfFitChannel(makePlane(8, 3, [](long x, long) { return x < 4 ? 50 : 0; }), Plane(), dst, nullptr, 0);
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
  EXPECT_EQ(recordNames(diag),
            (std::vector<std::string>{"Src", "mask", "Dst", "mapped src", "mapped src", "Src", "Dst"}));
  EXPECT_EQ(pelsOf(diag.diagRecord(3).greyImages().at(0)), pelsOf(kfPelMap(src, result.pelmap())));
  for (long i = 0; i < diag.numRecords(); ++i)
    EXPECT_EQ(diag.diagRecord(i).sketches().size(), i == 3 || i == 4 ? 1u : 0u);
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

TEST(OnePassFit, EqualsTheLiteralFitOnRandomPairs) {
  // A noisy linear camera with clipping on either side; source, destination
  // and mask of different sizes and placements; masks with holes, all
  // 255, all 0, or with a stray value inside or outside the common window.
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> gains(0.4, 1.8), offsets(-60.0, 60.0), scene(-20.0, 275.0);
  std::uniform_int_distribution<int> shift(-3, 3);
  for (int i = 0; i < 24; ++i) {
    const double gain = gains(rng), offset = offsets(rng);
    std::normal_distribution<double> noise(0.0, 0.3 + 0.2 * (i % 5));
    kcPelBuffer<unsigned char> src = makePlane(37 + i % 3, 29, 0), dst = makePlane(35, 31 - i % 2, 0);
    for (long y = 0; y < 31; ++y)
      for (long x = 0; x < 38; ++x) {
        const double t = i % 6 == 5 ? 40.0 + (x + y) % 150 : scene(rng);  // every sixth pair never clips
        if (x < src.width() && y < src.height()) src.pointToRow(y)[x] = clampPel(t);
        if (x < dst.width() && y < dst.height()) dst.pointToRow(y)[x] = clampPel(gain * t + offset + noise(rng));
      }
    dst.offset(shift(rng), shift(rng));
    kcPelBuffer<unsigned char> mask;
    bool refused = false;
    if (i % 3 != 0) {
      mask = makePlane(44, 40, [&](long x, long y) { return i % 7 == 1 || (x * 3 + y * 5 + i) % 11 > 2 ? 255 : 0; });
      if (i % 8 == 2 || i % 8 == 4) mask.pointToRow(i % 8 == 2 ? 0 : 10)[10] = 128;  // outside, inside
      if (i % 9 == 4) mask = makePlane(44, 40, 0);                                   // nothing active
      mask.offset(-4, -4);
      refused = i % 8 == 2 || i % 8 == 4 || i % 9 == 4;
    }
    SCOPED_TRACE(::testing::Message() << "case " << i);
    const auto literal = fitOrRefusal([&] { return kfFitChannelLiteral(src, mask, dst, nullptr, 0); });
    EXPECT_EQ(fitOrRefusal([&] { return kfFitChannel(src, mask, dst, nullptr, 0); }), literal);
    EXPECT_EQ(literal.has_value(), !refused);
  }
}

TEST(SampledCalibration, SamplesFromOutsideTheDestinationAreMaskedOut) {
  constexpr long kWidth = 40, kHeight = 30;
  const auto src = makePlane(kWidth, kHeight, [](long x, long y) { return (x * 5 + y * 3) % 250; });
  const auto dst = makePlane(kWidth, kHeight, [](long x, long y) { return ((x - 6) * 6 + y * 4 + x * y % 3) % 256; });
  const auto fittedOnto = [&](const Plane& mask, const Plane& onto) { return fieldsOf(fitted(src, mask, onto)); };
  const auto callerMask = makePlane(kWidth, kHeight, [](long x, long y) { return x + y < 12 ? 0 : 255; });
  const std::vector<std::string> records[] = {{"src", "dst", "sampledDst", "Src", "Dst"},
                                              {"src", "dst", "sampledDst", "sampledDstMask", "Src", "mask", "Dst"}};
  for (long shift : {0L, 7L}) {
    SCOPED_TRACE(shift);
    // Samples at the pel centres of dst moved right by shift; those beyond its right edge are outside.
    const kcAffineSamplingParams sampling(kcAffineRectangle(kcVector<2>(kWidth / 2.0 + shift, kHeight / 2.0), kWidth,
                                                            kHeight, kcRadian(0.0), kcRadian(0.0)),
                                          kWidth, kHeight, kcAffineSamplingParams::eNearestNeighbor);
    const auto shiftedDst =
        makePlane(kWidth, kHeight, [=](long x, long y) { return dst.pointToRow(y)[std::min(x + shift, kWidth - 1)]; });
    const auto inside = makePlane(kWidth, kHeight, [=](long x, long) { return x + shift < kWidth ? 255 : 0; });
    Result unmasked, masked, unboundMask;
    kcDiagObject diag, withUnbound;
    kfComputeColorCalibration(src, sampling, dst, unmasked, &diag, kColorCalibrationDiagInputs);
    kfComputeColorCalibration(src, sampling, dst, unmasked, &diag, 0);
    kfComputeColorCalibration(src, sampling, dst, unmasked, nullptr, kColorCalibrationDiagInputs);
    EXPECT_EQ(fieldsOf(unmasked), fittedOnto(shift ? Plane(inside) : Plane(), shiftedDst));
    EXPECT_EQ(recordNames(diag), records[shift ? 1 : 0]);
    EXPECT_EQ(pelsOf(diag.diagRecord(shift ? 3 : 2).greyImages().at(0)), pelsOf(shift ? inside : shiftedDst));

    kfComputeColorCalibration(src, callerMask, sampling, dst, masked, nullptr, 0);
    EXPECT_EQ(fieldsOf(masked), fittedOnto(kfPelMin(callerMask, inside), shiftedDst));
    // An unbound caller's mask is exactly the unmasked fit, diagnostics included.
    kfComputeColorCalibration(src, Plane(), sampling, dst, unboundMask, &withUnbound, kColorCalibrationDiagInputs);
    EXPECT_EQ(fieldsOf(unboundMask), fieldsOf(unmasked));
    EXPECT_EQ(recordNames(withUnbound), records[shift ? 1 : 0]);
  }
}

TEST(ColorCalibration, GreyPairIsFittedOnceColourPairsPlaneByPlaneAndAFailingPlaneChangesNothing) {
  const kc3PlanePelBuffer grey(ramp(2, 0), ramp(2, 0), ramp(2, 0)), greyDst(ramp(3, 5), ramp(3, 5), ramp(3, 5));
  // Planes 0 and 1 equal but plane 2 not: a colour image, fitted plane by plane.
  const kc3PlanePelBuffer colour(ramp(2, 0), ramp(2, 0), ramp(4, 20)), colourDst(ramp(3, 5), ramp(1, 40), ramp(5, 1));
  kcColorCalibrationResultInternal result, sampled;
  kcDiagObject diag;
  kfComputeColorCalibration(grey, greyDst, result, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "Dst"}));
  const std::vector<double> greyFit = unmaskedFit(grey.plane0(), greyDst.plane0());
  for (const auto& c : result.results()) EXPECT_EQ(fieldsOf(c), greyFit);

  kfComputeColorCalibration(colour, colourDst, result, nullptr, 0);
  const kcAffineSamplingParams atPelCentres(kcAffineRectangle(kcVector<2>(12.0, 8.0), 24, 16, kcRadian(0), kcRadian(0)),
                                            24, 16, kcAffineSamplingParams::eNearestNeighbor);
  kfComputeColorCalibration(colour, atPelCentres, colourDst, sampled, nullptr, 0);
  EXPECT_EQ(fieldsOf(result.results().at(1)), unmaskedFit(colour.plane1(), colourDst.plane1()));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(fieldsOf(sampled.results().at(k)), fieldsOf(result.results()[k]));

  // A failing plane leaves the result as it was.
  const kc3PlanePelBuffer saturated(ramp(2, 0), ramp(3, 0), makePlane(24, 16, 255));
  kfComputeColorCalibration(colourDst, colourDst, result, nullptr, 0);
  kcDiagObject failing;
  EXPECT_THROW(kfComputeColorCalibration(saturated, colourDst, result, &failing, kColorCalibrationDiagInputs),
               kcColorCalibrationDefs::BadImages);
  EXPECT_EQ(recordNames(failing).size(), 6u);  // the third plane's inputs are shown before its refusal
  ASSERT_EQ(result.results().size(), 3u);
  for (const auto& c : result.results()) EXPECT_EQ(c.gain(), 1.0);
}

TEST(BalanceText, DrawsTheFittedNumbersOnTheLastRecordOrANewOne) {
  const auto channel = [](double gain, double offset) {
    Result result;
    result.init(gain, offset, 0.5, 0.5, 0.75, 2.0);
    return result;
  };
  kcDiagObject diag;
  kfSketchBalanceText(channel(1.0, 0.0), &diag, 0);
  kfSketchBalanceText(channel(1.0, 0.0), nullptr, kColorCalibrationDiagResults);
  EXPECT_EQ(diag.numRecords(), 0);
  kfSketchBalanceText(channel(1.25, -3.5), &diag, kColorCalibrationDiagResults);  // nowhere to go: a record of its own
  diag.newDiagRecord();
  kfSketchBalanceText(channel(1e300, -123.456789), &diag, kColorCalibrationDiagResults);
  ASSERT_EQ(diag.numRecords(), 2);
  const kcDiagRecord::Sketch& sketch = diag.diagRecord(0).sketches().at(0);
  const kcUIText& text = sketch.sketch.texts().at(0);
  EXPECT_EQ(text.text, "gain: 1.250000 offset: -3.500000 rmsError: 2.000000 propActive: 0.750000");
  EXPECT_EQ(std::make_tuple(text.point, text.foreground, text.background, text.format, text.layer),
            std::make_tuple(kcVector<2>(10.0, 50.0), kcColor::red, kcColor::pass, kcUIFormat{-1, 0}, 0));
  EXPECT_EQ(std::make_tuple(sketch.name, sketch.coordinateSystem), std::make_tuple("Color Balance Result Text", 0));
  // Wide numbers widen their fields instead of being cut.
  const std::string& wide = diag.diagRecord(1).sketches().at(0).sketch.texts().at(0).text;
  EXPECT_EQ(wide.substr(0, 8), "gain: 10");
  EXPECT_EQ(wide.substr(307), ".000000 offset: -123.456789 rmsError: 2.000000 propActive: 0.750000");
}
