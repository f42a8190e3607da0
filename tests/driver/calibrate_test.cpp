#include "colc/driver/calibrate.h"

#include <gtest/gtest.h>

#include <string>

#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "colc/host/runtime.h"
#include "colc/records/errors.h"
#include "host/runtime/cancellation.h"
#include "support/calibration_cameras.h"
#include "support/calibration_in_poses.h"
#include "support/test_planes.h"

namespace {

// A result the driver must not touch.
kcColorCalibrationResult sentinel() {
  kcColorCalibrationResult r;
  r.exposure(123.0);
  r.channelResults(std::vector<kcColorCalibrationChannelResult>(2));
  return r;
}

// A default calibration: besides what every pose shows, the search ends at
// an identity input table, without a failure, below the exposure ceiling.
TEST(Calibrate, DefaultSearchBringsTheCorrectedViewCloseToTheReferenceWhereverTheTargetLies) {
  for (const PoseCalibration& run : kfCalibrateInEveryPose(kfColorCalibrate)) {
    EXPECT_TRUE(run.result.positive8BitLut()) << run.pose;
    EXPECT_FALSE(run.result.acqInfo().failure().isFailure()) << run.pose;
    EXPECT_LT(run.result.exposure(), 0.9 * kcColorCalibrationParams().exposureRange().end()) << run.pose;
  }
}

// The pose handed out is the one the first image shows, at the start
// settings: found again there, it is the same.
TEST(Calibrate, HandsOutThePoseOfItsFirstImage) {
  auto fifo = kfOpenChartCamera("noise=0");
  const FifoState before = kfFifoStateOf(*fifo);
  kcColorCalibrationResult result;
  kcCalibrationPose pose;
  kfColorCalibrate(fifo, kfTestChart(), kfQuickParams(), result, nullptr, 0, pose);
  ASSERT_TRUE(pose.referenceImage.isBound());
  kcCalibrationPose again;
  kfFindCalibrationPose(kfAcquireAt(fifo, {before.exposure, before.contrast[0], before.brightness[0]}), kfTestChart(),
                        again.referenceImage, again.sampling, nullptr, 0);
  EXPECT_EQ(pose.sampling.affineRectangle().centre(), again.sampling.affineRectangle().centre());
  EXPECT_EQ(pose.sampling.affineRectangle().xLength(), again.sampling.affineRectangle().xLength());
  EXPECT_EQ(pose.sampling.affineRectangle().xRotation().value(), again.sampling.affineRectangle().xRotation().value());
  EXPECT_EQ(pose.sampling.xNumSamples(), again.sampling.xNumSamples());
  for (int k = 0; k < 3; ++k)
    EXPECT_TRUE(kfPelEqual(pose.referenceImage.pelPlane(k), again.referenceImage.pelPlane(k))) << "plane " << k;
}

// Failures that leave the call before a result exists; the camera is put
// back every time. (Failures of the camera itself: fault_sweep_test.)
TEST(Calibrate, FailuresBeforeAnyResultLeaveItUntouchedAndTheCameraRestored) {
  const auto expectUntouched = [](const std::string& what, const auto& calibrate) {
    SCOPED_TRACE(what);
    auto fifo = kfOpenChartCamera();
    const FifoState before = kfFifoStateOf(*fifo);
    kcColorCalibrationResult result = sentinel();
    calibrate(fifo, result);
    kfFailAttentionCheckAt(0, kSysSuccess);
    EXPECT_EQ(kfFifoStateOf(*fifo), before);
    EXPECT_EQ(result, sentinel());
  };
  expectUntouched("no camera", [](auto, auto& result) {
    EXPECT_THROW(kfColorCalibrate({}, kfTestChart(), kfQuickParams(), result, nullptr, 0), kcBadPointer);
  });
  const kcPelBuffer<unsigned char> flat(192, 128);
  expectUntouched("target out of view", [&](auto fifo, auto& result) {
    EXPECT_THROW(kfColorCalibrate(fifo, kc3PlanePelBuffer(flat, flat, flat), kfQuickParams(), result, nullptr, 0),
                 kcColorCalibrationDefs::BadImages);
  });
  // Attention checks 1 and 2 come before and inside the first acquisition, 3 before the first step.
  for (unsigned long n : {1ul, 2ul, 3ul, 10ul})
    expectUntouched("attention check " + std::to_string(n), [n](auto fifo, auto& result) {
      kfFailAttentionCheckAt(n, kSysCancelled);
      EXPECT_THROW(kfColorCalibrate(fifo, kfTestChart(), kfQuickParams(), result, nullptr, 0), kcCancelled);
    });
}

TEST(Calibrate, InputTableFlagTellsWhetherTheCameraTableIsTheIdentity) {
  kcColorCalibrationParams keepTable = kfQuickParams();
  keepTable.usePositive8BitLut(false);
  auto fifo = kfOpenChartCamera();
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, kfTestChart(), keepTable, result, nullptr, 0);
  EXPECT_TRUE(result.positive8BitLut());  // the camera's own table is the identity

  std::vector<unsigned char> brighter(256);
  for (int i = 0; i < 256; ++i) brighter[i] = static_cast<unsigned char>(std::min(255, i + 10));
  fifo->properties().inputLutProp().inputLut(brighter.data());
  kfColorCalibrate(fifo, kfTestChart(), keepTable, result, nullptr, 0);
  EXPECT_FALSE(result.positive8BitLut());
}

TEST(Calibrate, ResultDiagnosticsRecordOneMoreAcquisitionWhenItSucceeds) {
  auto fifo = kfOpenChartCamera();
  kcDiagObject diag;
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, kfTestChart(), kfQuickParams(), result, &diag, kColorCalibrationDiagResults);
  const std::vector<std::string> names = recordNames(diag);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
            (std::vector<std::string>{"Color image", "Mapped color image", "Monochrome image"}));
  for (long i = diag.numRecords() - 3; i < diag.numRecords(); ++i) {
    const kcDiagRecord& record = diag.diagRecord(i);
    EXPECT_EQ(record.colorImages().size() + record.greyImages().size(), 1u);
    ASSERT_EQ(record.sketches().size(), 1u);
    EXPECT_EQ(record.sketches()[0].name, "Color Calibration Result Text");
    const auto& texts = record.sketches()[0].sketch.texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[3].text, "positive8BitLut: true ");
    EXPECT_EQ(texts[3].point, kcVector<2>(10.0, 110.0));
  }
  EXPECT_EQ(diag.diagRecord(diag.numRecords() - 1).greyImages().size(), 1u);

  // The simulated search is the same every time, so the last acquisition
  // is the diagnostic one: failed or unbound, it records nothing.
  const unsigned long last = fifo->completions();
  for (const std::string fault : {"fail-at=", "unbound-at="}) {
    SCOPED_TRACE(fault);
    auto failing = kfOpenChartCamera(fault + std::to_string(last));
    const FifoState before = kfFifoStateOf(*failing);
    kcDiagObject none;
    kcColorCalibrationResult filled;
    kfColorCalibrate(failing, kfTestChart(), kfQuickParams(), filled, &none, kColorCalibrationDiagResults);
    EXPECT_EQ(failing->completions(), last);
    EXPECT_EQ(none.numRecords(), diag.numRecords() - 3);
    EXPECT_EQ(filled, result);
    EXPECT_EQ(kfFifoStateOf(*failing), before);
  }
  // Without a diagnostics object no extra acquisition is made.
  auto quiet = kfOpenChartCamera();
  kfColorCalibrate(quiet, kfTestChart(), kfQuickParams(), result, nullptr, kColorCalibrationDiagResults);
  EXPECT_EQ(quiet->completions(), last - 1);
}

}  // namespace
