// The calibration records' own rules: pel maps, equality, refused values.
// A result's pel map image is checked by the fuzz target pel_map_image,
// replayed in tests/fuzz_regressions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "colc/records/channel_result.h"
#include "colc/records/errors.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

TEST(PelMap, RoundsHalfAwayFromZeroThenClamps) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    double gain, offset;
    int entry, expected;
  } const cases[] = {
      {1.0, 0.5, 0, 1}, {1.0, 0.5, 254, 255}, {1.0, 0.5, 255, 255}, {1.0, -0.5, 0, 0}, {1.0, -0.5, 1, 1},
      {-1.0, 255.0, 0, 255}, {-1.0, 255.0, 200, 55}, {2.0, 0.0, 127, 254}, {2.0, 0.0, 128, 255},
      {0.5, 0.0, 3, 2}, {0.5, 0.0, 5, 3}, {-0.5, 130.0, 5, 128}, {0.0, -2.5, 0, 0},
      // x + 0.5 is 1.0 in double precision here: the rule, not std::round, decides.
      {0.0, 0.49999999999999994, 0, 1},
      // Outside 32 bits the value saturates by its sign; a not-a-number gives 0.
      {1e300, 0.0, 0, 0}, {1e300, 0.0, 1, 255}, {-1e300, 0.0, 1, 0}, {1.0, inf, 0, 255}, {1.0, -inf, 9, 0},
      {1.0, std::nan(""), 9, 0}, {1.0, 2147483647.0, 0, 255}, {-1.0, -2147483648.0, 5, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(kfBuildPelMap(c.gain, c.offset).at(c.entry), c.expected)
        << "gain " << c.gain << " offset " << c.offset << " entry " << c.entry;
}

TEST(ChannelResult, OnlyTheExactIdentityKeepsAnEmptyMap) {
  std::vector<unsigned char> identity(256);
  std::iota(identity.begin(), identity.end(), 0);

  kcColorCalibrationChannelResult result;
  result.init(2.0, 0.0, -1.0);
  EXPECT_EQ(result.pelmap().size(), 256u);
  result.init(1.0, 0.0, -1.0);
  EXPECT_TRUE(result.pelmap().empty());
  EXPECT_TRUE(result == kcColorCalibrationChannelResult());
  result.init(1.0, 1e-9, -1.0);
  EXPECT_EQ(result.pelmap(), identity);

  // The computation's record always holds the full table.
  kcColorCalibrationChannelResultInternal internal;
  internal.init(1.0, 0.0, 0.1, 0.2, 0.3, 4.0);
  EXPECT_EQ(internal.pelmap(), identity);
}

TEST(CalibrationParams, SettersRefuseBadValuesAndEqualityComparesEveryField) {
  kcColorCalibrationParams p;
  p.exposureRange(kcRange(0.0, 0.1));
  const std::pair<std::function<void()>, std::string> refused[] = {
      {[&] { p.minExposureStepSize(-1e-12); }, "minExposureStepSize < 0"},
      {[&] { p.minExposureStepSize(std::nan("")); }, "minExposureStepSize < 0"},
      {[&] { p.exposureRange(kcRange::EmptyRange()); }, "exposureRange == kcRange::EmptyRange()"}};
  for (const auto& [set, message] : refused) {
    try {
      set();
      ADD_FAILURE() << message;
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), message);
    }
  }
  EXPECT_EQ(p.minExposureStepSize(), 0.0);
  EXPECT_TRUE(p.exposureRange() == kcRange(0.0, 0.1));

  const std::function<void(kcColorCalibrationParams&)> changes[] = {
      [](auto& p) { p.isExposureEnabled(false); },   [](auto& p) { p.isContrastEnabled(false); },
      [](auto& p) { p.isBrightnessEnabled(false); }, [](auto& p) { p.minExposureStepSize(1e-300); },
      [](auto& p) { p.exposureRange({1e-6, 0.31}); }, [](auto& p) { p.usePositive8BitLut(false); },
      [](auto& p) { p.allowPelMapping(false); }};
  for (const auto& change : changes) {
    kcColorCalibrationParams changed;
    change(changed);
    EXPECT_FALSE(changed == kcColorCalibrationParams());
  }
}

TEST(PelMapImage, NeedsExactlyThreeChannelResults) {
  for (std::size_t n : {2u, 4u}) {
    kcColorCalibrationResult result;
    result.channelResults(std::vector<kcColorCalibrationChannelResult>(n));
    EXPECT_THROW(result.pelMapImage(kc3PlanePelBuffer()), kcColorCalibrationDefs::BadParams) << n;
  }
}
