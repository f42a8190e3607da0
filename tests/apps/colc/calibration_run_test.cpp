#include "calibration_run.h"

#include <gtest/gtest.h>

#include "exit_status.h"
#include "host/runtime/cancellation.h"
#include "search_path.h"
#include "support/calibration_cameras.h"

namespace {

CalibrationRun calibrate(const kcPtrHandle<kcInstrumentedAcqFifo>& camera, bool diagnostics = false,
                         std::vector<kcColorCameraSettings>* heard = nullptr) {
  return runCalibration(camera, kfTestChart(), kfQuickParams(), diagnostics, [&](const kcColorCameraSettings& s) {
    if (heard) heard->push_back(s);
  });
}

ExitStatus statusOf(const kcPtrHandle<kcInstrumentedAcqFifo>& camera) {
  try {
    calibrate(camera);
  } catch (...) {
    return reportFailure(std::current_exception()).status;
  }
  return ExitStatus::ok;
}

}  // namespace

TEST(CalibrationRun, MeasuresBeforeAndAfterRecordsThePathToTheResultAndLeavesTheCameraAsFound) {
  auto camera = kfOpenChartCamera();
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

  // The search path finds the result from the acquisitions alone.
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

TEST(CalibrationRun, CameraFailuresAndCancellationAreTheirOwnKindAndLeaveTheCameraAsFound) {
  for (const auto& [fault, status] : {std::pair{"fail-at=1", ExitStatus::cameraFailed},
                                      {"fail-at=9", ExitStatus::cameraFailed},
                                      {"unbound-at=9", ExitStatus::cameraFailed},
                                      {"timeout-at=9", ExitStatus::cameraFailed},
                                      {"write-fail-at=12", ExitStatus::cameraFailed},
                                      {"cancel-at=20", ExitStatus::cancelled}}) {
    SCOPED_TRACE(fault);
    auto camera = kfOpenChartCamera(fault);
    const FifoState found = kfFifoStateOf(*camera);
    EXPECT_EQ(statusOf(camera), status);
    kfClearCancel();
    camera->faults() = {};
    EXPECT_EQ(kfFifoStateOf(*camera), found);
  }
}
