// Host system runtime: the attention check that long operations poll, and
// the mapping of status codes to exceptions.
#pragma once

// Status codes of the runtime.
constexpr long kSysSuccess = 0;
constexpr long kSysCancelled = 1;
constexpr long kSysTimedOut = 2;

// 0 (kSysSuccess) unless the calling thread has been asked to stop.
long ksys_attention_check();
// Returns for kSysSuccess; throws kcCancelled for kSysCancelled,
// kcTimeout::Expired for kSysTimedOut and, for anything else, a
// kcExceptionWithString that names the status.
void kfThrowExceptionOnFailure(long status);
