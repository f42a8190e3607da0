#include <gtest/gtest.h>

#include <cstdio>

#include "colc/driver/acquisition.h"
#include "colc/driver/calibrate.h"
#include "colc/host/runtime.h"
#include "colc/records/errors.h"
#include "colc/tool/view_difference.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cancellation.h"
#include "support/fifo_state.h"

namespace {

// A small camera whose view holds the whole 192-pel chart.
kcPtrHandle<kcInstrumentedAcqFifo> openCamera(const std::string& faults = "") {
  kcSimCameraConfig config = kfParseSimCameraOptions("width=320,height=240,seed=5" + (faults.empty() ? "" : "," + faults));
  config.target = kfSimTargetChart(192);
  return kfOpenSimCamera(config);
}

const kc3PlanePelBuffer& reference() {
  static const kc3PlanePelBuffer chart = kfSimTargetChart(192);
  return chart;
}

// A quick search: exposure only, compared by difference alone.
kcColorCalibrationParams quickParams() {
  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.isBrightnessEnabled(false);
  params.allowPelMapping(false);
  return params;
}

// A result the driver must not touch.
kcColorCalibrationResult sentinel() {
  kcColorCalibrationResult r;
  r.exposure(123.0);
  r.channelResults(std::vector<kcColorCalibrationChannelResult>(2));
  return r;
}

kc3PlanePelBuffer acquireAt(const kcPtrHandle<kcInstrumentedAcqFifo>& fifo, const kcColorCameraSettings& settings) {
  fifo->triggerModel(kfManualTrigger());
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(fifo, settings, info, failed);
  EXPECT_FALSE(failed);
  return image->get3PlanePelBuffer();
}

TEST(Calibrate, DefaultSearchBringsTheCorrectedViewCloseToTheReference) {
  auto fifo = openCamera();
  const FifoState before = kfFifoStateOf(*fifo);
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, reference(), kcColorCalibrationParams(), result, nullptr, 0);
  const unsigned long acquisitions = fifo->completions();
  EXPECT_EQ(kfFifoStateOf(*fifo), before);
  ASSERT_EQ(result.channelResults().size(), 3u);
  EXPECT_TRUE(result.positive8BitLut());
  EXPECT_FALSE(result.acqInfo().failure().isFailure());

  const kcColorCameraSettings start(before.exposure, before.contrast[0], before.brightness[0]);
  const auto was = kfViewDifference(acquireAt(fifo, start), reference());
  result.setFifoProperties(fifo);
  const kcColorCameraSettings calibrated(result.exposure(), result.contrast(), result.brightness());
  const auto now = kfViewDifference(acquireAt(fifo, calibrated), reference(), &result);
  std::printf("acquisitions %lu; mean absolute difference per plane before %.2f %.2f %.2f, after %.2f %.2f %.2f\n",
              acquisitions, was[0], was[1], was[2], now[0], now[1], now[2]);
  for (int k = 0; k < 3; ++k) {
    EXPECT_LT(now[k], 0.5 * was[k]) << "plane " << k;
    EXPECT_LT(now[k], 6.0) << "plane " << k;
  }
}

TEST(Calibrate, NullCameraThrowsBadPointer) {
  kcColorCalibrationResult result = sentinel();
  EXPECT_THROW(kfColorCalibrate(kcPtrHandle<kcAcqFifo>(), reference(), quickParams(), result, nullptr, 0),
               kcBadPointer);
  EXPECT_EQ(result, sentinel());
}

// Each row of the failure rules: what leaves the call, whether the result
// is filled, and that the camera is restored every time.
TEST(Calibrate, FailuresRestoreTheCameraAndFillTheResultOnlyWhenTheyShould) {
  struct Row {
    std::string faults;
    enum { eReturns, eTimesOut, eCancelled, eWriteFails } outcome;
    bool filled;
  };
  const Row rows[] = {
      {"fail-at=1", Row::eReturns, true},   {"fail-at=9", Row::eReturns, true},
      {"unbound-at=1", Row::eReturns, true}, {"unbound-at=9", Row::eReturns, true},
      {"timeout-at=1", Row::eTimesOut, true}, {"timeout-at=9", Row::eTimesOut, true},
      {"cancel-at=1", Row::eCancelled, false}, {"cancel-at=9", Row::eCancelled, false},
      {"write-fail-at=1", Row::eWriteFails, false}, {"write-fail-at=20", Row::eWriteFails, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.faults);
    auto fifo = openCamera(row.faults);
    const FifoState before = kfFifoStateOf(*fifo);
    kcColorCalibrationResult result = sentinel();
    switch (row.outcome) {
      case Row::eReturns:
        EXPECT_NO_THROW(kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0));
        EXPECT_TRUE(result.acqInfo().failure().isFailure() || row.faults.starts_with("unbound"));
        break;
      case Row::eTimesOut:
        EXPECT_THROW(kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0), kcTimeout::Expired);
        break;
      case Row::eCancelled:
        EXPECT_THROW(kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0), kcCancelled);
        kfClearCancel();
        break;
      case Row::eWriteFails:
        EXPECT_THROW(kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0), kcIOError);
        break;
    }
    fifo->faults() = kcAcqFaults();
    EXPECT_EQ(kfFifoStateOf(*fifo), before);
    if (row.filled) {
      EXPECT_EQ(result.channelResults().size(), 3u);
      EXPECT_NE(result.exposure(), 123.0);
    } else {
      EXPECT_EQ(result, sentinel());
    }
  }
}

TEST(Calibrate, AFailureBeforeAnyMeasurementGivesTheToolsInitialState) {
  auto fifo = openCamera("fail-at=1");
  kcColorCalibrationResult result = sentinel();
  kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0);
  EXPECT_EQ(result.exposure(), 0.0);
  EXPECT_EQ(result.contrast(), 0.0);
  EXPECT_EQ(result.channelResults(), std::vector<kcColorCalibrationChannelResult>(3));
}

TEST(Calibrate, AttentionCheckCancelsAtEveryPoint) {
  // Calls 1 and 2 come before and inside the first acquisition, call 3 before the first step.
  for (unsigned long n : {1ul, 2ul, 3ul, 10ul}) {
    SCOPED_TRACE(n);
    auto fifo = openCamera();
    const FifoState before = kfFifoStateOf(*fifo);
    kcColorCalibrationResult result = sentinel();
    kfFailAttentionCheckAt(n, kSysCancelled);
    EXPECT_THROW(kfColorCalibrate(fifo, reference(), quickParams(), result, nullptr, 0), kcCancelled);
    kfFailAttentionCheckAt(0, kSysSuccess);
    EXPECT_EQ(kfFifoStateOf(*fifo), before);
    EXPECT_EQ(result, sentinel());
  }
}

TEST(Calibrate, TargetOutOfViewPropagatesBadImages) {
  auto fifo = openCamera();
  const FifoState before = kfFifoStateOf(*fifo);
  kcPelBuffer<unsigned char> flat(192, 128);
  kcColorCalibrationResult result = sentinel();
  EXPECT_THROW(kfColorCalibrate(fifo, kc3PlanePelBuffer(flat, flat, flat), quickParams(), result, nullptr, 0),
               kcColorCalibrationDefs::BadImages);
  EXPECT_EQ(kfFifoStateOf(*fifo), before);
  EXPECT_EQ(result, sentinel());
}

TEST(Calibrate, InputTableFlagTellsWhetherTheCameraTableIsTheIdentity) {
  kcColorCalibrationParams keepTable = quickParams();
  keepTable.usePositive8BitLut(false);
  auto fifo = openCamera();
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, reference(), keepTable, result, nullptr, 0);
  EXPECT_TRUE(result.positive8BitLut());  // the camera's own table is the identity

  std::vector<unsigned char> brighter(256);
  for (int i = 0; i < 256; ++i) brighter[i] = static_cast<unsigned char>(std::min(255, i + 10));
  fifo->properties().inputLutProp().inputLut(brighter.data());
  kfColorCalibrate(fifo, reference(), keepTable, result, nullptr, 0);
  EXPECT_FALSE(result.positive8BitLut());
}

TEST(Calibrate, ResultDiagnosticsFollowTheToolsRecords) {
  auto fifo = openCamera();
  kcDiagObject diag;
  kcColorCalibrationResult result;
  kfColorCalibrate(fifo, reference(), quickParams(), result, &diag, 0x20000);
  ASSERT_GE(diag.numRecords(), 3);
  const char* names[] = {"Color image", "Mapped color image", "Monochrome image"};
  for (int i = 0; i < 3; ++i) {
    const kcDiagRecord& record = diag.diagRecord(diag.numRecords() - 3 + i);
    EXPECT_EQ(record.annotation(), names[i]);
    EXPECT_EQ(record.colorImages().size() + record.greyImages().size(), 1u);
    ASSERT_EQ(record.sketches().size(), 1u);
    EXPECT_EQ(record.sketches()[0].name, "Color Calibration Result Text");
    const auto& texts = record.sketches()[0].sketch.texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[3].text, "positive8BitLut: true ");
    EXPECT_EQ(texts[3].point, kcVector<2>(10.0, 110.0));
  }
  EXPECT_EQ(diag.diagRecord(diag.numRecords() - 1).greyImages().size(), 1u);

  // Without a diagnostics object no extra acquisition is made.
  auto quiet = openCamera();
  kfColorCalibrate(quiet, reference(), quickParams(), result, nullptr, 0x20000);
  EXPECT_EQ(quiet->completions(), fifo->completions() - 1);
}

}  // namespace
