#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <tuple>

#include "colc/balance/channel_fit.h"
#include "colc/balance/joint_stats.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

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

unsigned char pel(double v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 255.0))); }

}  // namespace

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
        if (x < src.width() && y < src.height()) src.pointToRow(y)[x] = pel(t);
        if (x < dst.width() && y < dst.height()) dst.pointToRow(y)[x] = pel(gain * t + offset + noise(rng));
      }
    dst.offset(shift(rng), shift(rng));
    kcPelBuffer<unsigned char> mask;
    bool refused = false;
    if (i % 3 != 0) {
      mask = makePlane(44, 40, [&](long x, long y) { return i % 7 == 1 || (x * 3 + y * 5 + i) % 11 > 2 ? 255 : 0; });
      if (i % 8 == 2 || i % 8 == 4) mask.pointToRow(i % 8 == 2 ? 0 : 10)[10] = 128;  // outside, inside
      if (i % 9 == 4) mask = makePlane(44, 40, 0);  // nothing active
      mask.offset(-4, -4);
      refused = i % 8 == 2 || i % 8 == 4 || i % 9 == 4;
    }
    SCOPED_TRACE(::testing::Message() << "case " << i);
    const auto literal = fitOrRefusal([&] { return kfFitChannelLiteral(src, mask, dst, nullptr, 0); });
    EXPECT_EQ(fitOrRefusal([&] { return kfFitChannel(src, mask, dst, nullptr, 0); }), literal);
    EXPECT_EQ(literal.has_value(), !refused);
  }
}

TEST(OnePassFit, GathersTheTableOfThePelByPelBuild) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> value(0, 255);
  const auto gathered = std::make_unique<kcJointTable>(), built = std::make_unique<kcJointTable>();
  for (int i = 0; i < 6; ++i) {
    // Saturated values often, runs of equal pairs, a mask of 0 and 255.
    const auto src = makePlane(50, 20, [&](long x, long) { return x % 7 == 0 ? 255 * (i % 2) : value(rng); });
    const auto dst = makePlane(50, 20, [&](long x, long) { return x % 5 == 0 ? 0 : value(rng); });
    const auto mask = makePlane(50, 20, [&](long x, long y) { return (x + y + i) % 3 ? 255 : 0; });
    EXPECT_EQ(kfGatherJointTable(src, Plane(), dst, *gathered).zeros, 0);
    kfBuildJointHistogram(src, dst, *built);
    EXPECT_EQ(*gathered, *built);
    const kcMaskTally tally = kfGatherJointTable(src, mask, dst, *gathered);
    kfBuildJointHistogram(src, mask, dst, *built);
    EXPECT_EQ(*gathered, *built);
    const std::vector<unsigned char> maskPels = pelsOf(mask);
    EXPECT_EQ(tally.zeros, std::count(maskPels.begin(), maskPels.end(), 0));
    EXPECT_TRUE(tally.binary);
  }
}
