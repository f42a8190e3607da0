#include <gtest/gtest.h>

#include "tool/tool_access.h"

namespace {

using Access = kcColorCalibrationToolTestAccess;
using S = kcColorCameraSettings;

const S kCentre(0.01, 0.5, 0.5);

TEST(SearchPlan, FirstCycleAtDefaultScaleClampsAndAppendsTheStart) {
  const std::vector<S> plan = Access::plan(kcColorCalibrationParams(), kCentre, 100.0);
  ASSERT_EQ(plan.size(), 26u);
  EXPECT_EQ(plan[0], S(1e-6, 0.0, 0.0));
  EXPECT_EQ(plan[1], S(1e-6, 0.0, 0.5));
  EXPECT_EQ(plan[2], S(1e-6, 0.0, 1.0));
  EXPECT_EQ(plan[3], S(1e-6, 0.5, 0.0));
  EXPECT_EQ(plan[25], S((1.0 + 100.0 * 0.15) * 0.01, 1.0, 1.0));

  kcColorCalibrationTool tool;
  tool.init(kcColorCalibrationParams(), kCentre, kc3PlanePelBuffer());
  Access::skipPose(tool);
  const auto& candidates = Access::state(tool).candidates;
  ASSERT_EQ(candidates.size(), 27u);
  EXPECT_EQ(candidates.back(), kCentre);
  EXPECT_EQ(Access::nextSettings(tool), S(1e-6, 0.0, 0.0));
}

TEST(SearchPlan, UnitScaleOmitsOnlyTheCentre) {
  const std::vector<S> plan = Access::plan(kcColorCalibrationParams(), kCentre, 1.0);
  ASSERT_EQ(plan.size(), 26u);
  const double d = 1.0 * 0.02;
  EXPECT_EQ(plan[0], S((1.0 - 0.15) * 0.01, 0.5 - d, 0.5 - d));
  EXPECT_EQ(plan[12], S(0.01, 0.5, 0.5 - d));
  EXPECT_EQ(plan[13], S(0.01, 0.5, 0.5 + d));
  EXPECT_EQ(plan[25], S((1.0 + 0.15) * 0.01, 0.5 + d, 0.5 + d));
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
  ASSERT_EQ(exposures.size(), 2u);
  EXPECT_EQ(exposures[0], 2.0 * 0.004);
  EXPECT_EQ(exposures[1], 3.0 * 0.004);
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
  // First cycle: low exposure (clamped), high exposure, then the start settings.
  EXPECT_EQ(Access::nextSettings(tool), S(1e-6, 0.5, 0.5));
  EXPECT_EQ(Access::measure(tool, m), S((1.0 + 100.0 * 0.15) * 0.01, 0.5, 0.5));
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

}  // namespace
