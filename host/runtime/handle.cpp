#include "colc/host/handle.h"

long kfInterlockedIncrement(std::atomic<long>& value) { return value.fetch_add(1, std::memory_order_relaxed) + 1; }

// Release ordering so that every write to the object happens before the
// thread that drops the last reference deletes it.
long kfInterlockedDecrement(std::atomic<long>& value) { return value.fetch_sub(1, std::memory_order_acq_rel) - 1; }
