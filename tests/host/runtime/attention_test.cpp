#include <gtest/gtest.h>

#include <thread>

#include "colc/host/exceptions.h"
#include "colc/host/runtime.h"
#include "host/runtime/cancellation.h"

namespace {

class AttentionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    kfClearCancel();
    kfFailAttentionCheckAt(0, kSysSuccess);
  }
};

TEST_F(AttentionTest, StatusesMapToTheirExceptions) {
  EXPECT_NO_THROW(kfThrowExceptionOnFailure(kSysSuccess));
  EXPECT_THROW(kfThrowExceptionOnFailure(kSysCancelled), kcCancelled);
  EXPECT_THROW(kfThrowExceptionOnFailure(kSysTimedOut), kcTimeout::Expired);
  try {
    kfThrowExceptionOnFailure(77);
    FAIL() << "status 77 passed";
  } catch (const kcException& e) {
    EXPECT_NE(std::string(e.what()).find("77"), std::string::npos) << e.what();
  }
}

TEST_F(AttentionTest, CancellationStaysUntilClearedAndStaysInItsThread) {
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  kfRequestCancel();
  EXPECT_EQ(ksys_attention_check(), kSysCancelled);
  EXPECT_EQ(ksys_attention_check(), kSysCancelled);
  long otherThread = -1;
  std::thread([&] { otherThread = ksys_attention_check(); }).join();
  EXPECT_EQ(otherThread, kSysSuccess);
  kfClearCancel();
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
}

TEST_F(AttentionTest, TokenCancelsTheThreadThatTookIt) {
  const kcCancelToken mine = kfThisThreadCancelToken();
  long workerBefore = -1, workerAfter = -1;
  std::thread worker([&] {
    const kcCancelToken token = kfThisThreadCancelToken();
    workerBefore = ksys_attention_check();
    kfRequestCancel(token);  // what a signal handler holding the token does
    workerAfter = ksys_attention_check();
  });
  worker.join();
  EXPECT_EQ(workerBefore, kSysSuccess);
  EXPECT_EQ(workerAfter, kSysCancelled);
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  kfRequestCancel(mine);
  EXPECT_TRUE(kfCancelRequested());
  kfRequestCancel(nullptr);  // ignored
}

TEST_F(AttentionTest, HookFailsExactlyTheNthCallOnce) {
  kfFailAttentionCheckAt(3, kSysTimedOut);
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  EXPECT_EQ(ksys_attention_check(), kSysTimedOut);
  EXPECT_EQ(ksys_attention_check(), kSysSuccess);
  kfFailAttentionCheckAt(2, kSysCancelled);
  kfFailAttentionCheckAt(0, kSysCancelled);  // disarmed
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ksys_attention_check(), kSysSuccess);
}

}  // namespace
