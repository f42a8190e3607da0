#include "colc/driver/calibrate_quick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "colc/tool/view_difference.h"
#include "support/calibration_cameras.h"
#include "support/test_planes.h"

namespace {

kc3PlanePelBuffer acquireAt(const kcPtrHandle<kcInstrumentedAcqFifo>& fifo, const kcColorCameraSettings& settings) {
  fifo->triggerModel(kfManualTrigger());
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(fifo, settings, info, failed);
  EXPECT_FALSE(failed);
  return image->get3PlanePelBuffer();
}

}  // namespace

// The quick search through the camera's default view and turned, scaled
// views off the pel grid: the corrected view ends far closer to the
// reference on every plane, in a few dozen acquisitions, and the camera is
// as it was found.
TEST(CalibrateQuick, BringsTheCorrectedViewCloseToTheReferenceInFewAcquisitionsWhereverTheTargetLies) {
  for (const std::string pose :
       {"", "rotation=-17,scale=0.85,x=330.3,y=250.7", "rotation=12,scale=1.15,x=310.6,y=236.2"}) {
    auto fifo = kfOpenViewCamera(pose);
    const FifoState before = kfFifoStateOf(*fifo);
    kcColorCalibrationResult result;
    kfColorCalibrateQuick(fifo, kfViewChart(), kcColorCalibrationParams(), result, nullptr, 0);
    const unsigned long acquisitions = fifo->completions();
    EXPECT_EQ(kfFifoStateOf(*fifo), before);
    EXPECT_LE(acquisitions, 60u) << pose;
    ASSERT_EQ(result.channelResults().size(), 3u);
    EXPECT_TRUE(result.positive8BitLut());

    const kcColorCameraSettings start(before.exposure, before.contrast[0], before.brightness[0]);
    const auto was = kfViewDifference(acquireAt(fifo, start), kfViewChart());
    result.setFifoProperties(fifo);
    const kcColorCameraSettings calibrated(result.exposure(), result.contrast(), result.brightness());
    const auto now = kfViewDifference(acquireAt(fifo, calibrated), kfViewChart(), &result);
    std::printf(
        "%s: %lu acquisitions; mean absolute difference per plane before %.2f %.2f %.2f, "
        "after %.2f %.2f %.2f\n",
        pose.c_str(), acquisitions, was[0], was[1], was[2], now[0], now[1], now[2]);
    for (int k = 0; k < 3; ++k) EXPECT_LT(now[k], 0.15 * was[k]) << pose << ", plane " << k;
  }
}

// The search's last image need not be at its result, so the result records'
// image is taken after the result's settings are applied.
TEST(CalibrateQuick, ResultRecordsShowTheCameraAtTheResultsSettings) {
  auto fifo = kfOpenViewCamera();
  kcColorCalibrationResult result;
  kcDiagObject diag;
  kfColorCalibrateQuick(fifo, kfViewChart(), kcColorCalibrationParams(), result, &diag, kColorCalibrationDiagResults);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Color image", "Mapped color image", "Monochrome image"}));
  const std::vector<std::string>& log = fifo->log();
  const auto lastStart = std::find(log.rbegin(), log.rend(), "start(0)");
  const auto lastExposure = std::find_if(lastStart, log.rend(), [](const std::string& entry) {
    return entry.rfind("exposure(", 0) == 0 && entry != "exposure()";
  });
  ASSERT_NE(lastExposure, log.rend());
  std::ostringstream expected;
  expected << "exposure(" << result.exposure() << ")";
  EXPECT_EQ(*lastExposure, expected.str());
}
