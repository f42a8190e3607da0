#include "pose_measurement.h"

#include <algorithm>
#include <stdexcept>

#include "chart_placement.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/calibrate.h"
#include "colc/driver/calibrate_quick.h"
#include "colc/records/errors.h"
#include "colc/tool/view_difference.h"
#include "colour_difference.h"
#include "observed_fifo.h"
#include "patch_reading.h"

namespace {

kc3PlanePelBuffer acquire(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings) {
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(camera, settings, info, failed);
  if (failed) throw std::runtime_error("acquisition " + std::to_string(info.sequence()) + " failed");
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
    const kcPtrHandle<kcInstrumentedAcqFifo> camera = kfOpenSimCamera(config);
    camera->triggerEnable(false);
    camera->triggerModel(kfManualTrigger());
    camera->triggerEnable(true);

    m.before = kfViewDifference(acquire(camera, currentCameraSettings(camera)), chart);
    const kcColorCalibrationParams params;
    kcColorCalibrationResult result;
    const unsigned long completionsBefore = camera->completions();
    const double cameraSecondsBefore = kfSimCameraTime(camera)->camera;
    if (sweepCase.quick)
      kfColorCalibrateQuick(camera, chart, params, result, nullptr, 0);
    else
      kfColorCalibrate(camera, chart, params, result, nullptr, 0);
    m.acquisitions = camera->completions() - completionsBefore;
    m.cameraSeconds = kfSimCameraTime(camera)->camera - cameraSecondsBefore;
    m.exposure = result.exposure();
    m.contrast = result.contrast();
    m.brightness = result.brightness();
    m.atExposureEdge = m.exposure <= params.exposureRange().start() || m.exposure >= params.exposureRange().end();

    result.setFifoProperties(camera);
    const kc3PlanePelBuffer view = acquire(camera, kcColorCameraSettings(m.exposure, m.contrast, m.brightness));
    try {
      m.after = kfViewDifference(view, chart, &result);
    } catch (const kcColorCalibrationDefs::BadImages&) {
      // Left unset: the chart is not found in the calibrated view.
    }
    measurePatches(m, view, result, sensor, chartWidth);
  } catch (const std::exception& e) {
    m.failure = e.what();
  }
  return m;
}
