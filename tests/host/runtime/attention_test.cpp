#include <gtest/gtest.h>

#include <thread>

#include "colc/host/exceptions.h"
#include "colc/host/runtime.h"
#include "host/runtime/cancellation.h"

namespace {

TEST(Attention, StatusesMapToTheirExceptions) {
  EXPECT_NO_THROW(kfThrowExceptionOnFailure(kSysSuccess));
  EXPECT_THROW(kfThrowExceptionOnFailure(kSysCancelled), kcCancelled);
  EXPECT_THROW(kfThrowExceptionOnFailure(kSysTimedOut), kcTimeout::Expired);
  EXPECT_THROW(kfThrowExceptionOnFailure(77), kcException);
}

TEST(Attention, CancellationIsStickyAndPerThreadAndTheHookFiresOnce) {
  long worker = -1;
  std::thread([&] {
    kfRequestCancel(kfThisThreadCancelToken());  // as a signal handler holding the token would
    worker = ksys_attention_check();
  }).join();
  EXPECT_EQ(worker, kSysCancelled);
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  kfRequestCancel();
  EXPECT_EQ(ksys_attention_check(), kSysCancelled);
  EXPECT_EQ(ksys_attention_check(), kSysCancelled);
  kfClearCancel();

  kfFailAttentionCheckAt(2, kSysTimedOut);
  const std::vector<long> calls = {ksys_attention_check(), ksys_attention_check(), ksys_attention_check()};
  EXPECT_EQ(calls, (std::vector<long>{kSysSuccess, kSysTimedOut, kSysSuccess}));
}

}  // namespace
