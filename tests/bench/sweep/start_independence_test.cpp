// The quick search from the settings a user could have left: wherever the
// camera starts, it ends close to where it ends from the camera's default
// start, with no patch clipped.
#include <gtest/gtest.h>

#include "pose_measurement.h"

namespace {

// A small sensor and chart keep each calibration fast; the pose is the
// camera's own.
const cv::Size kSensor(640, 512);
constexpr long kChartWidth = 480;
// The mean colour error through the pel maps moves by up to 0.12 between
// starts with the noise drawn alike (over six draws); starts the search
// could not recover from left it 0.37 and 2.8 worse, with 9 and 14 patches clipped.
constexpr double kNoiseSpread = 0.15;

PoseMeasurement quickFrom(std::optional<kcColorCameraSettings> start) {
  SweepCase c;
  c.placement.x = kSensor.width / 2.0 + 0.37;
  c.placement.y = kSensor.height / 2.0 - 0.29;
  c.crossTalk = 0.01;
  c.quick = true;
  c.start = start;
  return measurePose(c, kSensor, kChartWidth);
}

TEST(QuickSearchStart, HarshStartsEndCloseToTheDefaultStart) {
  const PoseMeasurement fromDefault = quickFrom(std::nullopt);
  ASSERT_EQ(fromDefault.failure, "");
  for (const kcColorCameraSettings start : {kcColorCameraSettings(0.002, 0.0, 0.3),    // dark and short
                                            kcColorCameraSettings(0.1, 1.0, 0.5),      // bright with high gain
                                            kcColorCameraSettings(0.01, 0.5, 0.7)}) {  // lifted black
    const PoseMeasurement m = quickFrom(start);
    const std::string where = "from " + std::to_string(start.exposure()) + " s, contrast " +
                              std::to_string(start.contrast()) + ", brightness " + std::to_string(start.brightness());
    ASSERT_EQ(m.failure, "") << where;
    EXPECT_NEAR(m.meanDeltaE, fromDefault.meanDeltaE, kNoiseSpread) << where;
    EXPECT_EQ(m.clippedPatches, 0) << where;
    EXPECT_LE(m.acquisitions, 60u) << where;
  }
}

}  // namespace
