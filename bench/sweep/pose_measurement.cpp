#include "pose_measurement.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "chart_placement.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/calibrate.h"
#include "colc/driver/calibrate_quick.h"
#include "colc/records/errors.h"
#include "colc/tool/internal/measurement_order.h"
#include "colc/tool/pose.h"
#include "colc/tool/view_difference.h"
#include "app/colour_difference.h"
#include "app/correction_stage.h"
#include "patch_reading.h"

namespace {

kc3PlanePelBuffer acquire(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings) {
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(camera, settings, info, failed);
  if (failed) throw std::runtime_error("acquisition " + std::to_string(info.sequence()) + " failed");
  return image->get3PlanePelBuffer();
}

// Mean and max CIEDE2000 of the patches' interiors in corrected against their colours.
std::pair<double, double> patchDeltaE(const cv::Mat& corrected, const ChartPlacement& placement, long chartWidth) {
  const std::vector<kcSimChartPatch> patches = kfSimTargetChartPatches(chartWidth);
  const ColourDifference difference;
  double sum = 0.0, max = 0.0;
  for (const kcSimChartPatch& patch : patches) {
    const double deltaE = difference.ciede2000({patch.red * 1.0, patch.green * 1.0, patch.blue * 1.0},
                                               readPatch(corrected, placement.interior(patch, kPatchMargin)).mean);
    sum += deltaE;
    max = std::max(max, deltaE);
  }
  return {sum / static_cast<double>(patches.size()), max};
}

std::optional<double> searchScore(const kcColorCalibrationParams& params, const kcCalibrationPose& pose,
                                  const kc3PlanePelBuffer& view) {
  const kcColorCalibrationMeasurement m =
      kfMeasureColorView(params, pose.referenceImage, kfViewSamples(view, pose));
  if (m.results.results().empty()) return std::nullopt;
  return kfFitScore(m.results);
}

void measurePatches(PoseMeasurement& m, const kc3PlanePelBuffer& view, const kcColorCalibrationResult& result,
                    const std::optional<kcColorCorrection>& correction, cv::Size sensor, long chartWidth) {
  const cv::Mat raw = rgbMat(view);
  const ChartPlacement placement(m.sweepCase.placement, sensor,
                                 cv::Size(static_cast<int>(chartWidth), static_cast<int>(chartWidth * 2 / 3)));
  std::tie(m.meanDeltaE, m.maxDeltaE) = patchDeltaE(rgbMat(result.pelMapImage(view)), placement, chartWidth);
  std::tie(m.correctedMeanDeltaE, m.correctedMaxDeltaE) =
      correction ? patchDeltaE(rgbMat(correction->apply(view)), placement, chartWidth)
                 : std::pair(m.meanDeltaE, m.maxDeltaE);
  for (const kcSimChartPatch& patch : kfSimTargetChartPatches(chartWidth))
    if (readPatch(raw, placement.interior(patch, kPatchMargin)).clippedShare > kClippedShare) ++m.clippedPatches;
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
    config.shading = sweepCase.shading;
    config.seed = sweepCase.noiseSeed;
    config.target = chart;
    if (sweepCase.start) {
      config.exposure = sweepCase.start->exposure();
      config.contrast = sweepCase.start->contrast();
      config.brightness = sweepCase.start->brightness();
    }
    const kcPtrHandle<kcInstrumentedAcqFifo> camera = kfOpenSimCamera(config);
    kfSwitchToManualTrigger(camera);

    // The start view is compared with the chart once the search has found
    // it: at the search's own pose, which the scene keeps throughout.
    const kc3PlanePelBuffer startView = acquire(camera, kfCurrentCameraSettings(camera));
    const kcColorCalibrationParams params;
    kcColorCalibrationResult result;
    const unsigned long completionsBefore = camera->completions();
    const double cameraSecondsBefore = kfSimCameraTime(camera)->camera;
    kcCalibrationPose pose;
    if (sweepCase.quick)
      kfColorCalibrateQuick(camera, chart, params, result, nullptr, 0, pose);
    else
      kfColorCalibrate(camera, chart, params, result, nullptr, 0, pose);
    m.before = kfViewDifference(kfViewOnGrid(startView, pose));
    m.acquisitions = camera->completions() - completionsBefore;
    m.cameraSeconds = kfSimCameraTime(camera)->camera - cameraSecondsBefore;
    m.exposure = result.exposure();
    m.contrast = result.contrast();
    m.brightness = result.brightness();
    m.atExposureEdge = m.exposure <= params.exposureRange().start() || m.exposure >= params.exposureRange().end();

    result.setFifoProperties(camera);
    const kc3PlanePelBuffer view = acquire(camera, kcColorCameraSettings(m.exposure, m.contrast, m.brightness));
    m.score = searchScore(params, pose, view);
    // The colour correction colc calibrate would adopt, fitted on the view
    // on the chart's grid at the search's pose.
    const kcViewOnGrid grid = kfViewOnGrid(view, pose);
    m.after = kfViewDifference(grid, &result);
    const FlatRegions regions(grid.reference);
    CorrectionChoice choice;
    const std::optional<kcColorCorrection> correction = chooseColorCorrection(
        grid, regions, colourError(result.pelMapImage(grid.view), grid.reference, regions), choice);
    if (correction) m.correction = domainName(correction->domain());
    measurePatches(m, view, result, correction, sensor, chartWidth);
  } catch (const std::exception& e) {
    m.failure = e.what();
  }
  return m;
}
