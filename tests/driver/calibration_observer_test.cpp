// What the observed calibrations tell: every acquisition, each step of the
// search with its images and best settings, and the result records' image
// marked as such; and they calibrate exactly as the unobserved forms do.
#include "colc/driver/calibration_observer.h"

#include <gtest/gtest.h>

#include "colc/balance/balance.h"
#include "colc/driver/calibrate.h"
#include "colc/driver/calibrate_quick.h"
#include "support/calibration_cameras.h"

namespace {

struct Heard : kcCalibrationObserver {
  void acquiring(const kcColorCameraSettings& settings, keCalibrationAcquisition purpose) override {
    (purpose == keCalibrationAcquisition::eSearch ? searched : recorded).push_back(settings);
  }
  void searchStepped(const kcCalibrationSearchStep& step) override { steps.push_back(step); }
  std::vector<kcColorCameraSettings> searched, recorded;
  std::vector<kcCalibrationSearchStep> steps;
};

template <class Observed, class Plain>
void expectToldAsItHappened(Observed observed, Plain plain, int maxImagesPerStep) {
  auto fifo = kfOpenChartCamera();
  const FifoState found = kfFifoStateOf(*fifo);
  fifo->clearLog();
  kcColorCalibrationResult result;
  kcDiagObject diag;
  kcCalibrationPose pose;
  Heard heard;
  observed(fifo, kfTestChart(), kfQuickParams(), result, &diag, kColorCalibrationDiagResults, pose, heard);
  const std::vector<std::string> calls = fifo->log();
  EXPECT_EQ(kfFifoStateOf(*fifo), found);

  EXPECT_EQ(heard.searched.size() + heard.recorded.size(), fifo->completions());
  EXPECT_EQ(heard.searched.front(), kcColorCameraSettings(found.exposure, found.contrast[0], found.brightness[0]));
  const kcColorCameraSettings settings(result.exposure(), result.contrast(), result.brightness());
  EXPECT_EQ(heard.recorded, std::vector<kcColorCameraSettings>{settings});
  std::size_t at = 0;
  for (const kcCalibrationSearchStep& step : heard.steps) {
    ASSERT_TRUE(step.images >= 1 && step.images <= maxImagesPerStep);
    for (int i = 0; i < step.images; ++i) EXPECT_EQ(heard.searched.at(at++), step.acquired);
  }
  EXPECT_EQ(at, heard.searched.size());
  EXPECT_EQ(heard.steps.back().best, settings);

  auto again = kfOpenChartCamera();
  kcColorCalibrationResult unobserved;
  kcDiagObject diagAgain;
  plain(again, kfTestChart(), kfQuickParams(), unobserved, &diagAgain, kColorCalibrationDiagResults, pose);
  EXPECT_EQ(unobserved, result);
  EXPECT_EQ(again->log(), calls);
}

TEST(CalibrationObserver, HearsEachAcquisitionAndStepOfTheToolsSearch) {
  expectToldAsItHappened([](auto&&... a) { kfColorCalibrateObserved(a...); },
                         [](auto&&... a) { kfColorCalibrate(a...); }, 2);
}

TEST(CalibrationObserver, HearsEachAcquisitionAndStepOfTheQuickSearch) {
  expectToldAsItHappened([](auto&&... a) { kfColorCalibrateQuickObserved(a...); },
                         [](auto&&... a) { kfColorCalibrateQuick(a...); }, 1);
}

}  // namespace
