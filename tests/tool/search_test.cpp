// The search of the calibration tool, driven with hand-made measurements
// instead of a camera: the candidate plan, the comparison of measurements
// and the steps.
#include <gtest/gtest.h>

#include <tuple>

#include "colc/records/errors.h"
#include "colc/tool/tool.h"
#include "colc/tool/internal/tool_state.h"

// Reaches the tool's private steps.
class kcColorCalibrationToolTestAccess {
 public:
  static std::vector<kcColorCameraSettings> plan(const kcColorCalibrationParams& params,
                                                 const kcColorCameraSettings& centre, double scale) {
    return kcColorCalibrationTool::planCandidates(params, centre, scale);
  }
  static bool isBetter(const kcColorCalibrationMeasurement& best, const kcColorCalibrationMeasurement& candidate) {
    return kcColorCalibrationTool::isBetter(best, candidate);
  }
  // What a successful pose step does, without images.
  static void skipPose(kcColorCalibrationTool& tool) {
    tool.initializeSettingsForColorImage();
    tool.state_->phase = kePhase::eSearch;
    tool.repeatAcquire_ = true;
  }
  // A search step whose measurement is m; returns the next settings.
  static kcColorCameraSettings measure(kcColorCalibrationTool& tool, const kcColorCalibrationMeasurement& m) {
    tool.takeMeasurement(m);
    return tool.nextSettings_;
  }
  // A step that uses no images (settle or adapt).
  static kcColorCameraSettings step(kcColorCalibrationTool& tool) {
    return tool.nextSettingsFromColorImages(kc3PlanePelBuffer(), kc3PlanePelBuffer(), nullptr, 0);
  }
  static const kcColorCalibrationToolState& state(const kcColorCalibrationTool& tool) { return *tool.state_; }
  static const kcColorCameraSettings& nextSettings(const kcColorCalibrationTool& tool) { return tool.nextSettings_; }
};

namespace {

using Access = kcColorCalibrationToolTestAccess;
using S = kcColorCameraSettings;

const S kCentre(0.01, 0.5, 0.5);

// A cycle tries each of the 26 neighbours of its centre once and never the
// centre; the first cycle also tries the start settings, last, after
// neighbours clamped to the exposure range and the unit interval.
TEST(SearchPlan, EveryNeighbourOnceNotTheCentreAndTheStartLastInTheFirstCycle) {
  for (const double scale : {1.0, kInitialSearchScale}) {
    const std::vector<S> plan = Access::plan(kcColorCalibrationParams(), kCentre, scale);
    ASSERT_EQ(plan.size(), 26u) << scale;
    for (std::size_t i = 0; i < plan.size(); ++i) {
      EXPECT_FALSE(plan[i] == kCentre) << scale;
      for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(plan[i] == plan[j]) << scale << ": " << i << ", " << j;
    }
  }

  kcColorCalibrationTool tool;
  tool.init(kcColorCalibrationParams(), kCentre, kc3PlanePelBuffer());
  Access::skipPose(tool);
  const auto& candidates = Access::state(tool).candidates;
  ASSERT_EQ(candidates.size(), 27u);
  EXPECT_EQ(candidates.back(), kCentre);
  EXPECT_EQ(Access::nextSettings(tool), S(kcColorCalibrationParams().exposureRange().start(), 0.0, 0.0));
}

TEST(SearchPlan, DuplicatesAtTheLimitsCollapse) {
  kcColorCalibrationParams params;
  params.exposureRange(kcRange(0.01, 0.3));
  // Exposure low clamps onto the centre; contrast 0 and brightness 1 sit on their bounds.
  const std::vector<S> plan = Access::plan(params, S(0.01, 0.0, 1.0), 0.5);
  // 2 exposures x 2 contrasts x 2 brightnesses, less the centre.
  ASSERT_EQ(plan.size(), 7u);
  EXPECT_EQ(plan[0], S(0.01, 0.0, 1.0 - 0.01));
  for (const S& s : plan) EXPECT_GE(s.exposure(), 0.01);
}

TEST(SearchPlan, ExposureGridRoundsAfterClamping) {
  kcColorCalibrationParams params;
  params.minExposureStepSize(0.004);
  const std::vector<S> plan = Access::plan(params, S(0.01, 0.5, 0.5), 1.0);
  // 0.0085 -> 2 steps, 0.01 -> 3 steps (2.5 in single precision rounds away), 0.0115 -> 3 steps.
  std::vector<double> exposures;
  for (const S& s : plan)
    if (exposures.empty() || exposures.back() != s.exposure()) exposures.push_back(s.exposure());
  EXPECT_EQ(exposures, (std::vector<double>{2.0 * 0.004, 3.0 * 0.004}));
  // No candidate carries the off-grid centre exposure, so none is skipped as the centre.
  EXPECT_EQ(plan.size(), 18u);
}

TEST(SearchPlan, DisabledSettingsHoldTheCentre) {
  kcColorCalibrationParams onlyExposure;
  onlyExposure.isContrastEnabled(false);
  onlyExposure.isBrightnessEnabled(false);
  kcColorCalibrationTool tool;
  tool.init(onlyExposure, kCentre, kc3PlanePelBuffer());
  Access::skipPose(tool);
  kcColorCalibrationMeasurement m;
  // First cycle: a lower exposure, a higher one, then the start settings.
  const S lower = Access::nextSettings(tool), higher = Access::measure(tool, m);
  EXPECT_EQ(std::tuple(lower.contrast(), lower.brightness(), higher.contrast(), higher.brightness()),
            std::tuple(0.5, 0.5, 0.5, 0.5));
  EXPECT_LT(lower.exposure(), kCentre.exposure());
  EXPECT_GT(higher.exposure(), kCentre.exposure());
  EXPECT_EQ(Access::measure(tool, m), kCentre);
  Access::measure(tool, m);
  EXPECT_EQ(static_cast<int>(Access::state(tool).phase), 3);

  kcColorCalibrationParams nothing = onlyExposure;
  nothing.isExposureEnabled(false);
  tool.init(nothing, kCentre, kc3PlanePelBuffer());
  Access::skipPose(tool);
  EXPECT_EQ(Access::state(tool).candidateIndex, 26);  // only the appended start is admissible
  EXPECT_EQ(Access::nextSettings(tool), kCentre);
}

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
  const auto& fit = tool.channelResults()[2];
  EXPECT_EQ(std::make_tuple(fit.gain(), fit.rmsError(), fit.pelmap().size()), std::make_tuple(1.5, 7.0, 256u));
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
  EXPECT_EQ(Access::state(tool).searchScale, kInitialSearchScale);
  int cycles = 1;
  while (!tool.done()) cycles = cycle(5.0);
  EXPECT_EQ(cycles, 12);
  EXPECT_EQ(Access::state(tool).searchScale, kInitialSearchScale / 2048);
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
