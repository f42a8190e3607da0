#include "support/calibration_in_poses.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "colc/driver/acquisition.h"
#include "colc/tool/view_difference.h"
#include "support/calibration_cameras.h"

kc3PlanePelBuffer kfAcquireAt(const kcPtrHandle<kcInstrumentedAcqFifo>& fifo, const kcColorCameraSettings& settings) {
  kfSwitchToManualTrigger(fifo);
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(fifo, settings, info, failed);
  EXPECT_FALSE(failed);
  return image->get3PlanePelBuffer();
}

std::vector<PoseCalibration> kfCalibrateInEveryPose(CalibrateCall calibrate) {
  std::vector<PoseCalibration> runs;
  for (const std::string pose :
       {"", "rotation=-17,scale=0.85,x=330.3,y=250.7", "rotation=12,scale=1.15,x=310.6,y=236.2"}) {
    auto fifo = kfOpenViewCamera(pose);
    const FifoState before = kfFifoStateOf(*fifo);
    PoseCalibration run{pose, {}, 0};
    calibrate(fifo, kfViewChart(), kcColorCalibrationParams(), run.result, nullptr, 0);
    run.acquisitions = fifo->completions();
    EXPECT_EQ(kfFifoStateOf(*fifo), before) << pose;
    EXPECT_EQ(run.result.channelResults().size(), 3u) << pose;

    const kcColorCalibrationResult& result = run.result;
    const auto was = kfViewDifference(kfAcquireAt(fifo, {before.exposure, before.contrast[0], before.brightness[0]}),
                                      kfViewChart());
    result.setFifoProperties(fifo);
    const auto now = kfViewDifference(kfAcquireAt(fifo, {result.exposure(), result.contrast(), result.brightness()}),
                                      kfViewChart(), &result);
    std::printf("%s: %lu acquisitions; mean absolute difference per plane before %.2f %.2f %.2f, "
                "after %.2f %.2f %.2f\n",
                pose.c_str(), run.acquisitions, was[0], was[1], was[2], now[0], now[1], now[2]);
    for (int k = 0; k < 3; ++k) EXPECT_LT(now[k], 0.15 * was[k]) << pose << ", plane " << k;
    runs.push_back(run);
  }
  return runs;
}
