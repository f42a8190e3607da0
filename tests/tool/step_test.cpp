#include <gtest/gtest.h>

#include "colc/records/errors.h"
#include "tool/tool_access.h"

namespace {

using Access = kcColorCalibrationToolTestAccess;
using S = kcColorCameraSettings;

kcColorCalibrationMeasurement byDifference(double differenceSum) {
  kcColorCalibrationMeasurement m;
  m.pelMappingUsed = false;
  m.differenceSum = differenceSum;
  return m;
}

// Three fits, each with the given RMS error and active share.
kcColorCalibrationMeasurement byFit(double rms, double active) {
  kcColorCalibrationMeasurement m;
  m.pelMappingUsed = true;
  std::vector<kcColorCalibrationChannelResultInternal> fits(3);
  for (auto& fit : fits) fit.init(1.5, -2.0, active, active, active, rms);
  m.results.init(fits);
  return m;
}

TEST(IsBetter, DifferenceSumsMustBeStrictlySmallerAndFitsCompareErrorPerActiveShare) {
  EXPECT_TRUE(Access::isBetter(byDifference(3.0), byDifference(2.5)));
  EXPECT_FALSE(Access::isBetter(byDifference(3.0), byDifference(3.0)));
  // The best's mode decides: a perfect fit with an equal difference sum is not better.
  kcColorCalibrationMeasurement perfectFit = byFit(0.0, 1.0);
  perfectFit.differenceSum = 3.0;
  EXPECT_FALSE(Access::isBetter(byDifference(3.0), perfectFit));

  kcColorCalibrationMeasurement failedFit;
  failedFit.pelMappingUsed = true;
  EXPECT_TRUE(Access::isBetter(failedFit, byFit(9.0, 0.5)));
  EXPECT_FALSE(Access::isBetter(byFit(9.0, 0.5), failedFit));
  // 3 x 2.0 / 3 x 0.5 = 4.0 against 3 x 1.8 / 3 x 0.4 = 4.5: more error per share loses.
  EXPECT_FALSE(Access::isBetter(byFit(2.0, 0.5), byFit(1.8, 0.4)));
  EXPECT_TRUE(Access::isBetter(byFit(2.0, 0.5), byFit(1.8, 0.5)));
  // Shares summing to 0.1 or less are floored at 0.1: the smaller error wins.
  EXPECT_TRUE(Access::isBetter(byFit(2.0, 0.01), byFit(1.9, 0.03)));
  EXPECT_FALSE(Access::isBetter(byFit(2.0, 0.01), byFit(2.0, 0.03)));
}

TEST(Tool, KeepsTheBestMeasurementAndItsFitsWhichANewSearchResetsInPart) {
  kcColorCalibrationTool tool;
  const S outside(5.0, 0.5, 0.5);  // outside the exposure range: returned as given
  EXPECT_EQ(tool.init(kcColorCalibrationParams(), outside, kc3PlanePelBuffer()), outside);
  Access::skipPose(tool);
  const S measured = Access::nextSettings(tool);
  Access::measure(tool, byFit(7.0, 0.2));
  EXPECT_EQ(tool.result(), measured);
  ASSERT_EQ(tool.channelResults().size(), 3u);
  EXPECT_EQ(tool.channelResults()[2].gain(), 1.5);
  EXPECT_EQ(tool.channelResults()[2].rmsError(), 7.0);
  EXPECT_EQ(tool.channelResults()[2].pelmap().size(), 256u);
  // A later, worse measurement changes nothing.
  Access::measure(tool, byFit(8.0, 0.2));
  EXPECT_EQ(tool.result(), measured);
  // A new search keeps the result but not its channel results.
  tool.init(kcColorCalibrationParams(), outside, kc3PlanePelBuffer());
  EXPECT_EQ(tool.result(), measured);
  EXPECT_FALSE(tool.done());
  EXPECT_FALSE(tool.repeatAcquire());
  EXPECT_EQ(tool.channelResults()[1], kcColorCalibrationChannelResult());
}

// With every setting disabled, each cycle measures the best settings once.
class FixedSettingsSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    kcColorCalibrationParams params;
    params.isExposureEnabled(false);
    params.isContrastEnabled(false);
    params.isBrightnessEnabled(false);
    params.allowPelMapping(false);
    tool.init(params, start, kc3PlanePelBuffer());
    Access::skipPose(tool);
  }
  // One cycle: measure, settle, adapt. Returns the cycle count after it.
  int cycle(double differenceSum) {
    EXPECT_EQ(Access::measure(tool, byDifference(differenceSum)), start);
    EXPECT_TRUE(tool.repeatAcquire());
    Access::step(tool);
    EXPECT_FALSE(tool.repeatAcquire());
    Access::step(tool);
    return Access::state(tool).cycleCount;
  }

  const S start{0.02, 0.4, 0.6};
  kcColorCalibrationTool tool;
};

TEST_F(FixedSettingsSearch, SameSettingsBestForTheFourthTimeEndTheSearch) {
  cycle(10.0);
  cycle(9.0);
  cycle(8.0);
  EXPECT_FALSE(tool.done());
  Access::measure(tool, byDifference(7.0));
  EXPECT_TRUE(tool.done());
  EXPECT_EQ(tool.result(), start);
  EXPECT_EQ(Access::state(tool).bestHistoryCounts, std::vector<std::int32_t>{4});
}

TEST_F(FixedSettingsSearch, WithoutImprovementTheEleventhHalvingEndsTheSearch) {
  EXPECT_EQ(cycle(5.0), 1);  // the first measurement always improves
  EXPECT_EQ(Access::state(tool).searchScale, 100.0);
  int cycles = 1;
  while (!tool.done()) cycles = cycle(5.0);
  EXPECT_EQ(cycles, 12);
  EXPECT_EQ(Access::state(tool).searchScale, 0.048828125);
}

TEST(Step, PoseFailureBecomesBadImagesAndLeavesThePhase) {
  kcColorCalibrationTool tool;
  const kcPelBuffer<unsigned char> plane(32, 32);
  tool.init(kcColorCalibrationParams(), S(0.01, 0.5, 0.5), kc3PlanePelBuffer(plane, plane, plane));
  try {
    Access::step(tool);  // unbound acquired image
    FAIL() << "expected BadImages";
  } catch (const kcColorCalibrationDefs::BadImages& e) {
    EXPECT_EQ(e.text(), "Can not find pose of the calibration image in the acquired Image.");
  }
  EXPECT_EQ(static_cast<int>(Access::state(tool).phase), 1);
  EXPECT_FALSE(tool.repeatAcquire());
}

}  // namespace
