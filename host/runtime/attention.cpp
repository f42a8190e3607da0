#include <string>

#include "colc/host/exceptions.h"
#include "colc/host/runtime.h"
#include "host/runtime/cancellation.h"

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler must be able to set the flag");

struct AttentionState {
  std::atomic<bool> cancelRequested{false};
  unsigned long callsUntilFailure = 0;  // 0: no failure armed
  long failureStatus = kSysSuccess;
};

// Initial-exec TLS: a signal handler may touch it without the lazy
// allocation that other TLS models may do on first access.
thread_local AttentionState state __attribute__((tls_model("initial-exec")));

}  // namespace

kcCancelToken kfThisThreadCancelToken() noexcept { return &state.cancelRequested; }

void kfRequestCancel(kcCancelToken token) noexcept {
  if (token) token->store(true, std::memory_order_relaxed);
}

void kfRequestCancel() noexcept { kfRequestCancel(kfThisThreadCancelToken()); }

void kfClearCancel() noexcept { state.cancelRequested.store(false, std::memory_order_relaxed); }

bool kfCancelRequested() noexcept { return state.cancelRequested.load(std::memory_order_relaxed); }

void kfFailAttentionCheckAt(unsigned long n, long status) {
  state.callsUntilFailure = n;
  state.failureStatus = status;
}

long ksys_attention_check() {
  if (state.callsUntilFailure != 0 && --state.callsUntilFailure == 0) return state.failureStatus;
  return kfCancelRequested() ? kSysCancelled : kSysSuccess;
}

void kfThrowExceptionOnFailure(long status) {
  switch (status) {
    case kSysSuccess:
      return;
    case kSysCancelled:
      throw kcCancelled();
    case kSysTimedOut:
      throw kcTimeout::Expired();
    default:
      throw kcExceptionWithString("system status " + std::to_string(status));
  }
}
