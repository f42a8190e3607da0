#include "colc/driver/calibrate_quick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "support/calibration_cameras.h"
#include "support/calibration_in_poses.h"
#include "support/test_planes.h"

// The quick search does as well in a few dozen acquisitions.
TEST(CalibrateQuick, BringsTheCorrectedViewCloseToTheReferenceInFewAcquisitionsWhereverTheTargetLies) {
  for (const PoseCalibration& run : kfCalibrateInEveryPose(kfColorCalibrateQuick)) {
    EXPECT_LE(run.acquisitions, 60u) << run.pose;
    EXPECT_TRUE(run.result.positive8BitLut()) << run.pose;
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
