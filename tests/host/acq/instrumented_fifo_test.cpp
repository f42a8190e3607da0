#include <gtest/gtest.h>

#include "host/runtime/cancellation.h"
#include "support/calibration_cameras.h"

namespace {

TEST(InstrumentedFifo, FaultsHitTheirOperationOnly) {
  auto fifo = kfOpenSmallSimCamera("fail-at=1,unbound-at=2,timeout-at=3,cancel-at=4,write-fail-at=2");
  kcAcquireInfo info;
  const auto acquire = [&] { return fifo->completeAcq({true, 1.0, false, nullptr, &info}); };
  EXPECT_TRUE(acquire().isNull());
  EXPECT_EQ(info.failure().status(), kcAcqFailure::eFailed);
  EXPECT_FALSE(acquire()->isBound());
  EXPECT_EQ(info.failure().status(), 0);
  EXPECT_THROW(acquire(), kcTimeout::Expired);
  EXPECT_TRUE(acquire()->isBound() && kfCancelRequested());
  kfClearCancel();
  EXPECT_EQ(info.sequence(), 4u);

  kcExposureProp& exposure = fifo->properties().exposureProp();
  exposure.exposure(0.02);
  EXPECT_THROW(exposure.exposure(0.03), kcIOError);
  EXPECT_EQ(fifo->inner()->properties().exposureProp().exposure(), 0.02);
  exposure.exposure(0.04);
  const std::vector<std::string> tail(fifo->log().end() - 3, fifo->log().end());
  EXPECT_EQ(tail, (std::vector<std::string>{"exposure(0.02)", "exposure(0.03) failed", "exposure(0.04)"}));
}

}  // namespace
