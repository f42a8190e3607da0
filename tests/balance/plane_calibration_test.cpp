#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "colc/balance/balance.h"
#include "colc/balance/channel_fit.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
using BadImages = kcColorCalibrationDefs::BadImages;
constexpr unsigned long kAllDiag = kColorCalibrationDiagInputs | kColorCalibrationDiagResults;

unsigned char clampPel(double v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 255.0))); }

// A scene seen by a camera that saturates (src) and by a reference that
// holds the scene through gain and offset plus noise (dst).
struct Pair {
  kcPelBuffer<unsigned char> src, dst, mask;
};
Pair transferredPair(std::mt19937& rng, long width, long height, double gain, double offset, double noise,
                     bool masked) {
  std::uniform_real_distribution<double> scene(-15.0, 270.0);
  std::normal_distribution<double> jitter(0.0, noise);
  Pair pair{kcPelBuffer<unsigned char>(width, height), kcPelBuffer<unsigned char>(width, height), {}};
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      const double t = scene(rng);
      pair.src.pointToRow(y)[x] = clampPel(t);
      pair.dst.pointToRow(y)[x] = clampPel(gain * t + offset + jitter(rng));
    }
  if (masked) pair.mask = makePlane(width, height, [](long x, long y) { return (x / 7 + y / 5) % 4 == 0 ? 0 : 255; });
  return pair;
}

kcColorCalibrationChannelResultInternal fitted(const Plane& src, const Plane& mask, const Plane& dst,
                                               kcDiagObject* diag = nullptr, unsigned long flags = 0) {
  kcColorCalibrationChannelResultInternal result;
  kfComputeColorCalibration(src, mask, dst, result, diag, flags);
  return result;
}

void expectSameResult(const kcColorCalibrationChannelResultInternal& a,
                      const kcColorCalibrationChannelResultInternal& b) {
  EXPECT_EQ(a.gain(), b.gain());
  EXPECT_EQ(a.offset(), b.offset());
  EXPECT_EQ(a.rmsError(), b.rmsError());
  EXPECT_EQ(a.proportionActiveSrcPels(), b.proportionActiveSrcPels());
  EXPECT_EQ(a.proportionActiveDstPels(), b.proportionActiveDstPels());
  EXPECT_EQ(a.proportionActivePels(), b.proportionActivePels());
  EXPECT_EQ(a.pelmap(), b.pelmap());
}

}  // namespace

TEST(PlaneCalibration, IdenticalPlanesGiveTheIdentityExactly) {
  const kcPelBuffer<unsigned char> plane = makePlane(40, 30, [](long x, long y) { return (x * 37 + y * 11) % 256; });
  const auto identity = fitted(plane, Plane(), plane);
  EXPECT_EQ(identity.gain(), 1.0);
  EXPECT_EQ(identity.offset(), 0.0);
  EXPECT_EQ(identity.rmsError(), 0.0);

  // One unsaturated value: no spread to match, the constant transfer to it is exact.
  const kcPelBuffer<unsigned char> single = makePlane(9, 9, [](long x, long) { return x < 3 ? 77 : (x < 6 ? 0 : 255); });
  const auto constant = fitted(single, Plane(), single);
  EXPECT_EQ(constant.gain(), 0.0);
  EXPECT_EQ(constant.offset(), 77.0);
  EXPECT_EQ(constant.rmsError(), 0.0);
}

TEST(PlaneCalibration, RandomPairsEndAtTheLiteralErrorWithBothStepsBelowTheirLimits) {
  std::mt19937 rng(20240607);
  std::uniform_real_distribution<double> gains(0.6, 1.5), offsets(-30.0, 30.0), noises(0.1, 4.0);
  for (int i = 0; i < 12; ++i) {
    const double gain = gains(rng), offset = offsets(rng);
    const Pair pair = transferredPair(rng, 64 + i, 48, gain, offset, noises(rng), i % 2 == 1);
    SCOPED_TRACE(::testing::Message() << "case " << i << ": gain " << gain << " offset " << offset);
    const kcChannelFit fit = kfFitChannel(pair.src, pair.mask, pair.dst, nullptr, 0);
    const auto result = fitted(pair.src, pair.mask, pair.dst);
    EXPECT_EQ(result.gain(), fit.gain);
    EXPECT_EQ(result.offset(), fit.offset);
    EXPECT_EQ(result.proportionActiveSrcPels(), fit.proportionActiveSrcPels);
    EXPECT_EQ(result.proportionActiveDstPels(), fit.proportionActiveDstPels);
    EXPECT_EQ(result.proportionActivePels(), fit.proportionActivePels);

    auto table = std::make_unique<kcJointTable>();
    if (pair.mask.isBound())
      kfBuildJointHistogram(pair.src, pair.mask, pair.dst, *table);
    else
      kfBuildJointHistogram(pair.src, pair.dst, *table);
    EXPECT_EQ(result.rmsError(), kfEvaluateMapping(*table, result.gain(), result.offset(), *std::make_unique<kcJointTable>()));
    EXPECT_LT(fit.search.gainStep, kGainStepLimit);
    EXPECT_LT(fit.search.offsetStep, kOffsetStepLimit);
    EXPECT_NEAR(result.gain(), gain, 0.05);
    EXPECT_NEAR(result.offset(), offset, 4.0);
    if (!pair.mask.isBound())
      expectSameResult(result, fitted(pair.src, makePlane(pair.src.width(), pair.src.height(), 255), pair.dst));
  }
}

TEST(PlaneCalibration, RefusalsLeaveTheResultAndShowTheInputs) {
  const kcPelBuffer<unsigned char> good = makePlane(8, 8, [](long x, long y) { return 10 + x * 8 + y; });
  kcPelBuffer<unsigned char> elsewhere = good;
  elsewhere.offset(8, 0);
  kcPelBuffer<unsigned char> partialMask = makePlane(8, 8, 255);
  partialMask.offset(0, 1);
  kcPelBuffer<unsigned char> greyMask = makePlane(8, 8, 255);
  greyMask.pointToRow(3)[3] = 128;
  const struct {
    const char* what;
    Plane src, mask, dst;
  } cases[] = {
      {"unbound source", Plane(), Plane(), good},
      {"unbound destination", good, Plane(), Plane()},
      {"windows apart", good, Plane(), elsewhere},
      {"mask apart", good, elsewhere, good},
      {"mask covers part", good, partialMask, good},
      {"mask not binary", good, greyMask, good},
      {"saturated source", makePlane(8, 8, [](long x, long) { return x % 2 ? 255 : 0; }), Plane(), good},
      {"saturated destination", good, Plane(), makePlane(8, 8, 255)},
      {"everything masked", good, makePlane(8, 8, 0), good},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    kcColorCalibrationChannelResultInternal result;
    result.init(2.0, 3.0, 0.1, 0.2, 0.3, 4.0);
    const kcColorCalibrationChannelResultInternal before = result;
    kcDiagObject diag;
    EXPECT_THROW(kfComputeColorCalibration(c.src, c.mask, c.dst, result, &diag, kAllDiag), BadImages);
    expectSameResult(result, before);
    const std::vector<std::string> inputs =
        c.mask.isBound() ? std::vector<std::string>{"Src", "mask", "Dst"} : std::vector<std::string>{"Src", "Dst"};
    EXPECT_EQ(recordNames(diag), inputs);
  }
}

TEST(PlaneCalibration, StartsFromTheMomentsOfTheActivePelsOnly) {
  // Active pairs (10, 20) and (30, 60): spreads 10 and 20 give gain 2, offset 0.
  // The saturated pairs and the masked-out column would pull the moments off.
  const unsigned char srcValues[] = {10, 30, 10, 30, 255, 0, 200, 200};
  const unsigned char dstValues[] = {20, 60, 20, 60, 255, 0, 255, 9};
  const auto src = makePlane(8, 3, [&](long x, long) { return srcValues[x]; });
  const auto dst = makePlane(8, 3, [&](long x, long) { return dstValues[x]; });
  const auto mask = makePlane(8, 3, [](long x, long) { return x == 7 ? 0 : 255; });
  const kcChannelFit fit = kfFitChannel(src, mask, dst, nullptr, 0);
  EXPECT_EQ(fit.startGain, 2.0);
  EXPECT_EQ(fit.startOffset, 0.0);

  // Every unmasked pel active: the plain counts serve, less the masked-out zeros.
  const kcChannelFit allActive = kfFitChannel(src, makePlane(8, 3, [](long x, long) { return x < 4 ? 255 : 0; }), dst,
                                              nullptr, 0);
  EXPECT_EQ(allActive.startGain, 2.0);
  EXPECT_EQ(allActive.startOffset, 0.0);

  // A source of one active value has no spread: 1.0 stands in for it.
  const auto flat = makePlane(8, 3, [](long x, long) { return x < 4 ? 50 : 0; });
  const kcChannelFit fromFlat = kfFitChannel(flat, Plane(), dst, nullptr, 0);
  EXPECT_EQ(fromFlat.startGain, 20.0);
  EXPECT_EQ(fromFlat.startOffset, 40.0 - 50.0 * 20.0);
}

TEST(PlaneCalibration, ProportionsCountTheUsablePositionsOfTheCommonWindow) {
  // 10 x 10 common window; the source reaches two columns further, all saturated there.
  const auto src = makePlane(12, 10, [](long x, long y) { return x >= 10 || (x == 0 && y < 6) ? 255 : 100 + x; });
  const auto dst = makePlane(10, 10, [](long x, long y) { return y == 9 ? 0 : 90 + x + y; });
  const auto mask = makePlane(10, 10, [](long x, long y) { return x == 0 && y < 2 ? 0 : (x == 5 ? 0 : 255); });
  // Usable: 100 - 12 masked = 88. Saturated source: (0, 2..5) = 4; destination: row 9 except x 5 = 9.
  // Active: 88 - 4 - 9 + 0 (no position is saturated in both) = 75.
  const auto result = fitted(src, mask, dst);
  EXPECT_EQ(result.proportionActiveSrcPels(), 84.0 / 88.0);
  EXPECT_EQ(result.proportionActiveDstPels(), 79.0 / 88.0);
  EXPECT_EQ(result.proportionActivePels(), 75.0 / 88.0);
  // Unmasked: 6 saturated source and 10 saturated destination pels inside the common window.
  const auto unmasked = fitted(src, Plane(), dst);
  EXPECT_EQ(unmasked.proportionActiveSrcPels(), 94.0 / 100.0);
  EXPECT_EQ(unmasked.proportionActiveDstPels(), 90.0 / 100.0);
  EXPECT_EQ(unmasked.proportionActivePels(), 84.0 / 100.0);
  EXPECT_EQ(src.window(), kcPelRect(0, 0, 12, 10));  // the caller's window is left alone
}

TEST(PlaneCalibration, DiagnosticsFollowTheirFlags) {
  std::mt19937 rng(7);
  const Pair pair = transferredPair(rng, 32, 16, 1.2, -5.0, 1.0, true);
  kcDiagObject diag;
  const auto result = fitted(pair.src, pair.mask, pair.dst, &diag, kAllDiag);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "mask", "Dst", "mapped src"}));
  EXPECT_EQ(pelsOf(diag.diagRecord(3).greyImages().at(0)), pelsOf(kfPelMap(pair.src, result.pelmap())));
  ASSERT_EQ(diag.diagRecord(3).sketches().size(), 1u);
  EXPECT_EQ(diag.diagRecord(3).sketches()[0].name, "Color Balance Result Text");
  for (long i = 0; i < 3; ++i) EXPECT_TRUE(diag.diagRecord(i).sketches().empty());

  diag.clear();
  fitted(pair.src, Plane(), pair.dst, &diag, kColorCalibrationDiagResults);
  EXPECT_EQ(recordNames(diag), std::vector<std::string>{"mapped src"});
  diag.clear();
  fitted(pair.src, Plane(), pair.dst, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "Dst"}));
  expectSameResult(fitted(pair.src, Plane(), pair.dst, nullptr, kAllDiag), fitted(pair.src, Plane(), pair.dst));
}

TEST(PlaneCalibration, TwelveMegapixelPairFits) {
  // Smooth scene, camera clipped at both ends, reference = 0.8 scene + 20 with a little noise.
  const auto scene = [](long x, long y) { return static_cast<double>((x / 3 + y / 2) % 290) - 15.0; };
  const auto src = makePlane(4000, 3000, [&](long x, long y) { return clampPel(scene(x, y)); });
  const auto dst = makePlane(4000, 3000, [&](long x, long y) {
    return clampPel(0.8 * scene(x, y) + 20.0 + static_cast<double>((x * 7919 + y * 104729) % 5) - 2.0);
  });
  const auto result = fitted(src, Plane(), dst);
  EXPECT_NEAR(result.gain(), 0.8, 0.01);
  EXPECT_NEAR(result.offset(), 20.0, 1.0);
  EXPECT_LT(result.rmsError(), 2.0);
}
