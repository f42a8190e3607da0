#include <cstdint>
#include <string>

#include "colc/host/acquire_info.h"
#include "colc/host/exceptions.h"

// A version byte (0), the failure status as a 32-bit signed number, the
// failure description and the sequence number. Reading commits only when
// every field has been read.
kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw kcArchive::UnknownVersion("kcAcquireInfo", 0);
  long status = info.failure_.status();
  std::string description = info.failure_.description();
  unsigned long sequence = info.sequence_;
  ar || status || description || sequence;
  if (ar.isReading()) {
    info.failure_ = kcAcqFailure(static_cast<std::int32_t>(status), description);
    info.sequence_ = sequence;
  }
  return ar;
}
