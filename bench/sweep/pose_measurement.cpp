#include "pose_measurement.h"

#include <algorithm>
#include <stdexcept>

#include "calibration_run.h"
#include "chart_placement.h"
#include "colc/driver/acquisition.h"
#include "colour_difference.h"
#include "patch_reading.h"

namespace {

// The camera's view at the result's settings, input table included.
kc3PlanePelBuffer calibratedView(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCalibrationResult& result) {
  camera->triggerEnable(false);
  camera->triggerModel(kfManualTrigger());
  camera->triggerEnable(true);
  result.setFifoProperties(camera);
  kcAcquireInfo info;
  bool failed = false;
  const kcColorCameraSettings settings(result.exposure(), result.contrast(), result.brightness());
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(camera, settings, info, failed);
  if (failed) throw std::runtime_error("the acquisition at the calibrated settings failed");
  return image->get3PlanePelBuffer();
}

void measurePatches(PoseMeasurement& m, const kc3PlanePelBuffer& view, const kcColorCalibrationResult& result,
                    cv::Size sensor, long chartWidth) {
  const cv::Mat raw = rgbMat(view), corrected = rgbMat(result.pelMapImage(view));
  const std::vector<kcSimChartPatch> patches = kfSimTargetChartPatches(chartWidth);
  const ChartPlacement placement(m.sweepCase.placement, sensor,
                                 cv::Size(static_cast<int>(chartWidth), static_cast<int>(chartWidth * 2 / 3)));
  const ColourDifference difference;
  double sum = 0.0;
  for (const kcSimChartPatch& patch : patches) {
    const Quad interior = placement.interior(patch, kPatchMargin);
    const double deltaE = difference.ciede2000({patch.red * 1.0, patch.green * 1.0, patch.blue * 1.0},
                                               readPatch(corrected, interior).mean);
    sum += deltaE;
    m.maxDeltaE = std::max(m.maxDeltaE, deltaE);
    if (readPatch(raw, interior).clippedShare > kClippedShare) ++m.clippedPatches;
  }
  m.meanDeltaE = sum / static_cast<double>(patches.size());
}

}  // namespace

PoseMeasurement measurePose(const SweepCase& sweepCase, cv::Size sensor, long chartWidth) {
  PoseMeasurement m;
  m.sweepCase = sweepCase;
  try {
    const kc3PlanePelBuffer chart = kfSimTargetChart(chartWidth);
    kcSimCameraConfig config;
    config.width = sensor.width;
    config.height = sensor.height;
    config.pose = sweepCase.placement;
    config.crossTalk = sweepCase.crossTalk;
    config.target = chart;
    const kcPtrHandle<kcAcqFifo> camera = kfOpenSimCamera(config);

    const kcColorCalibrationParams params;
    const CalibrationRun run = runCalibration(camera, chart, params, false, [](const kcColorCameraSettings&) {});
    m.exposure = run.result.exposure();
    m.contrast = run.result.contrast();
    m.brightness = run.result.brightness();
    m.atExposureEdge = m.exposure <= params.exposureRange().start() || m.exposure >= params.exposureRange().end();
    m.before = run.before;
    m.after = run.after;
    measurePatches(m, calibratedView(camera, run.result), run.result, sensor, chartWidth);
  } catch (const std::exception& e) {
    m.failure = e.what();
  }
  return m;
}
