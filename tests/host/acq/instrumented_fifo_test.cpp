#include <gtest/gtest.h>

#include "host/runtime/cancellation.h"
#include "support/small_sim_camera.h"

namespace {

using Log = std::vector<std::string>;

kcPtrHandle<kcAcqImage> acquire(kcAcqFifo& fifo, kcAcquireInfo& info) {
  fifo.start(0);
  kcAcqFifo::CompleteArgs args;
  args.info = &info;
  return fifo.completeAcq(args);
}

TEST(InstrumentedFifo, LogsEveryOperationInOrder) {
  auto fifo = kfOpenSmallSimCamera("taps=2");
  fifo->triggerEnable(false);
  fifo->triggerModel(kfManualTrigger());
  (void)fifo->triggerModel();
  fifo->properties().exposureProp().exposure(0.25);
  fifo->properties().contrastBrightnessProp().setContrastEx(0.75, kcContrastBrightnessProp::kAllTaps);
  fifo->properties().contrastBrightnessProp().setBrightnessEx(0.5, 0b10);
  (void)fifo->properties().contrastBrightnessProp().brightness(kcContrastBrightnessProp::eTap1);
  fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
  const unsigned char zeros[256] = {};
  fifo->properties().inputLutProp().inputLut(zeros, kc8BitInputLutProp::ePlane2);
  (void)fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::ePlane0);
  fifo->triggerEnable(true);
  kcAcquireInfo info;
  acquire(*fifo, info);
  EXPECT_EQ(fifo->log(), (Log{"triggerEnable(false)", "triggerModel(manual)", "triggerModel()", "exposure(0.25)",
                              "setContrastEx(0.75,all)", "setBrightnessEx(0.5,0x2)", "brightness(1)",
                              "inputLut(identity)", "inputLut(table,2)", "inputLut(0)", "triggerEnable(true)",
                              "start(0)", "complete"}));
}

TEST(InstrumentedFifo, FailingWriteIsLoggedAndChangesNothing) {
  kcAcqFaults faults;
  faults.writeFailAt = 2;
  auto fifo = kfOpenSmallSimCamera();
  fifo->faults() = faults;
  fifo->properties().exposureProp().exposure(0.02);
  EXPECT_THROW(fifo->properties().exposureProp().exposure(0.03), kcIOError);
  fifo->properties().exposureProp().exposure(0.04);  // the fault fires once
  EXPECT_EQ(fifo->log(), (Log{"exposure(0.02)", "exposure(0.03) failed", "exposure(0.04)"}));
  fifo->faults().writeFailAt = 4;
  EXPECT_THROW(fifo->triggerEnable(false), kcIOError);
  EXPECT_TRUE(fifo->inner()->triggerEnable());
}

TEST(InstrumentedFifo, CompletionFaultsHitTheirAcquisitionOnly) {
  auto fifo = kfOpenSmallSimCamera("fail-at=1,unbound-at=2,timeout-at=3,cancel-at=4");
  kcAcquireInfo info;
  EXPECT_TRUE(acquire(*fifo, info).isNull());
  EXPECT_EQ(info.failure().status(), kcAcqFailure::eFailed);

  auto unbound = acquire(*fifo, info);
  EXPECT_EQ(info.failure().status(), 0);
  ASSERT_FALSE(unbound.isNull());
  EXPECT_FALSE(unbound->isBound());

  EXPECT_THROW(acquire(*fifo, info), kcTimeout::Expired);

  EXPECT_FALSE(kfCancelRequested());
  EXPECT_TRUE(acquire(*fifo, info)->isBound());
  EXPECT_TRUE(kfCancelRequested());
  kfClearCancel();

  EXPECT_TRUE(acquire(*fifo, info)->isBound());
  EXPECT_EQ(info.sequence(), 5u);
  EXPECT_EQ(fifo->completions(), 5u);
}

TEST(InstrumentedFifo, RefusesNullFifo) {
  EXPECT_THROW(kcInstrumentedAcqFifo(kcPtrHandle<kcAcqFifo>()), kcBadPointer);
}

}  // namespace
