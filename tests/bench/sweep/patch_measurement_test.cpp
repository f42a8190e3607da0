// The sweep's patch measurement: the patch geometry matches the chart it
// draws, the placement matches where the simulated camera puts the chart,
// and the colour difference comes out of a real CIELAB conversion.
#include <gtest/gtest.h>

#include "chart_placement.h"
#include "colc/driver/acquisition.h"
#include "app/colour_difference.h"
#include "patch_reading.h"
#include "pose_measurement.h"

namespace {

constexpr long kChartWidth = 192;
const cv::Size kChart(192, 128);

std::array<double, 3> colourOf(const kcSimChartPatch& p) { return {1.0 * p.red, 1.0 * p.green, 1.0 * p.blue}; }

TEST(PatchMeasurement, ChartReadAtItsOwnPatchesGivesTheirColours) {
  const cv::Mat chart = rgbMat(kfSimTargetChart(kChartWidth));
  kcSimPose pose;  // the chart as its own sensor, square to it
  pose.x = kChart.width / 2.0;
  pose.y = kChart.height / 2.0;
  pose.rotation = 0.0;
  const ChartPlacement placement(pose, kChart, kChart);
  const ColourDifference difference;
  // Margin 0 reaches the patches' edge pels: any half-pel slip mixes in the card.
  for (double margin : {0.0, kPatchMargin})
    for (const kcSimChartPatch& patch : kfSimTargetChartPatches(kChartWidth)) {
      const PatchReading reading = readPatch(chart, placement.interior(patch, margin));
      EXPECT_EQ(reading.mean, colourOf(patch)) << "patch at " << patch.x << ", " << patch.y << " margin " << margin;
      EXPECT_EQ(reading.clippedShare, 0.0);
      EXPECT_NEAR(difference.ciede2000(colourOf(patch), reading.mean), 0.0, 1e-9);
    }
  EXPECT_NEAR(difference.ciede2000({0, 0, 0}, {255, 255, 255}), 100.0, 0.01);
}

TEST(PatchMeasurement, CameraShowsEachPatchWherePlacementPutsIt) {
  kcSimCameraConfig config;
  config.width = 320;
  config.height = 240;
  config.noise = 0.0;
  config.crossTalk = 0.0;
  config.target = kfSimTargetChart(kChartWidth);
  // Turned and scaled, then also tilted: the patches' interiors are then
  // quadrilaterals of unequal sides.
  for (const kcSimPose& pose : {kcSimPose{161.3, 118.7, 17.0, 1.1}, kcSimPose{158.6, 121.2, -8.0, 1.2, 30.0, 60.0}}) {
    config.pose = pose;
    const kcPtrHandle<kcAcqFifo> camera = kfOpenSimCamera(config);
    kcAcquireInfo info;
    bool failed = false;
    // The settings that reproduce the chart's green plane.
    const kc3PlanePelBuffer view =
        kfAcquireImage(camera, kcColorCameraSettings(0.025, 0.5, 0.4), info, failed)->get3PlanePelBuffer();
    ASSERT_FALSE(failed);

    const ChartPlacement placement(config.pose, cv::Size(320, 240), kChart);
    for (const kcSimChartPatch& patch : kfSimTargetChartPatches(kChartWidth))
      EXPECT_NEAR(readPatch(rgbMat(view), placement.interior(patch, kPatchMargin)).mean[1], patch.green, 2.0)
          << "patch at " << patch.x << ", " << patch.y << ", tilt " << pose.tilt;
  }
}

}  // namespace
