// Cancellation of long operations. Each thread has a cancellation flag;
// ksys_attention_check (colc/host/runtime.h), which long operations poll,
// reports kSysCancelled while the calling thread's flag is set. The flag
// stays set until cleared, so every loop between the request and the
// application's handler ends.
//
// Requesting is async-signal-safe: a SIGINT handler may call
// kfRequestCancel(token) with a token taken earlier by the working thread.
#pragma once

#include <atomic>

// A thread's cancellation flag. It lives as long as its thread.
using kcCancelToken = std::atomic<bool>*;

// The calling thread's flag, to hand to a signal handler or another thread.
kcCancelToken kfThisThreadCancelToken() noexcept;

// Sets the flag behind token (async-signal-safe; a null token is ignored).
void kfRequestCancel(kcCancelToken token) noexcept;
// Sets the calling thread's flag.
void kfRequestCancel() noexcept;
// Clears the calling thread's flag.
void kfClearCancel() noexcept;
bool kfCancelRequested() noexcept;

// Test hook: the calling thread's attention check returns status at its
// n-th call from now (n >= 1) and succeeds at the others as usual; n = 0
// disarms the hook. The hook fires once.
void kfFailAttentionCheckAt(unsigned long n, long status);
