#include "calibration_run.h"

#include <gtest/gtest.h>

#include "colc/host/exceptions.h"
#include "exit_status.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cancellation.h"
#include "search_path.h"
#include "support/calibration_cameras.h"

namespace {

const kc3PlanePelBuffer& chart() {
  static const kc3PlanePelBuffer image = kfSimTargetChart(192);
  return image;
}

// A small camera whose view holds the whole 192-pel chart, or another scene.
kcPtrHandle<kcInstrumentedAcqFifo> openCamera(const std::string& faults = "",
                                              const kc3PlanePelBuffer& scene = chart()) {
  kcSimCameraConfig config =
      kfParseSimCameraOptions("width=320,height=240,seed=5" + (faults.empty() ? "" : "," + faults));
  config.target = scene;
  return kfOpenSimCamera(config);
}

// A quick search: exposure only, judged by the difference alone.
kcColorCalibrationParams quickParams() {
  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.isBrightnessEnabled(false);
  params.allowPelMapping(false);
  return params;
}

CalibrationRun calibrate(const kcPtrHandle<kcInstrumentedAcqFifo>& camera, bool diagnostics = false,
                         std::vector<kcColorCameraSettings>* heard = nullptr) {
  return runCalibration(camera, chart(), quickParams(), diagnostics, [&](const kcColorCameraSettings& s) {
    if (heard) heard->push_back(s);
  });
}

ExitStatus statusOf(const kcPtrHandle<kcInstrumentedAcqFifo>& camera) {
  try {
    calibrate(camera);
  } catch (const CommandFailure& e) {
    return e.status();
  }
  return ExitStatus::ok;
}

}  // namespace

TEST(CalibrationRun, MeasuresBeforeAndAfterAndLeavesTheCameraAsFound) {
  auto camera = openCamera();
  const FifoState found = kfFifoStateOf(*camera);
  std::vector<kcColorCameraSettings> heard;
  const CalibrationRun run = calibrate(camera, true, &heard);
  EXPECT_EQ(kfFifoStateOf(*camera), found);

  EXPECT_EQ(run.start, kcColorCameraSettings(found.exposure, found.contrast[0], found.brightness[0]));
  EXPECT_EQ(run.startView.width(), 320);
  for (int k = 0; k < 3; ++k) EXPECT_LT(run.after[k], run.before[k]) << "plane " << k;
  // The search's acquisitions: all but the view before, the view after and the result records' image.
  EXPECT_EQ(run.acquisitions.size() + 3, camera->completions());
  EXPECT_EQ(heard.size(), run.acquisitions.size() + 1);
  EXPECT_EQ(run.acquisitions.front(), run.start);
  EXPECT_GT(run.seconds, 0.0);
  ASSERT_GE(run.diagnostics.numRecords(), 3);
  EXPECT_EQ(run.diagnostics.diagRecord(run.diagnostics.numRecords() - 1).annotation(), "Monochrome image");
}

TEST(CalibrationRun, TheSearchPathFindsTheResultFromTheAcquisitionsAlone) {
  const CalibrationRun run = calibrate(openCamera());
  const kcColorCameraSettings result(run.result.exposure(), run.result.contrast(), run.result.brightness());
  // Settings the search never reaches: the last best must come from the path, not from this.
  const auto changes = bestSettingsAlong(run.acquisitions, kcColorCameraSettings(-1, -1, -1));
  ASSERT_GE(changes.size(), 3u);
  EXPECT_EQ(changes[changes.size() - 2].settings, result);
  for (std::size_t k = 1; k + 1 < changes.size(); ++k) {
    EXPECT_GT(changes[k].acquisition, changes[k - 1].acquisition);
    EXPECT_EQ(run.acquisitions[changes[k].acquisition], changes[k].settings);
  }
}

TEST(CalibrationRun, CameraFailuresAreTheirOwnKindAndLeaveTheCameraAsFound) {
  for (const char* fault : {"fail-at=1", "fail-at=9", "unbound-at=9", "timeout-at=9", "write-fail-at=12"}) {
    auto camera = openCamera(fault);
    const FifoState found = kfFifoStateOf(*camera);
    EXPECT_EQ(statusOf(camera), ExitStatus::cameraFailed) << fault;
    camera->faults() = {};
    EXPECT_EQ(kfFifoStateOf(*camera), found) << fault;
  }
}

TEST(CalibrationRun, CancellationLeavesAsCancelledWithTheCameraAsFound) {
  auto camera = openCamera("cancel-at=20");
  const FifoState found = kfFifoStateOf(*camera);
  EXPECT_THROW(calibrate(camera), kcCancelled);
  kfClearCancel();
  EXPECT_EQ(kfFifoStateOf(*camera), found);
}
