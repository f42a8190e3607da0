#include <gtest/gtest.h>

#include "colc/host/acquire_info.h"
#include "colc/host/exceptions.h"
#include "colc/host/imaging.h"
#include "support/archive_checks.h"

// Their contents round-trip as part of the calibration result's layout test.
TEST(HostValueArchive, DamagedRangesAndAcquireInfoAreRefusedCleanly) {
  std::vector<unsigned char> bytes = archived(kcAcquireInfo());
  bytes[0] = 1;
  EXPECT_THROW(restored<kcAcquireInfo>(bytes), kcArchive::UnknownVersion);
  expectCorruptionRefused(archived(kcAcquireInfo()), [](kcArchive& ar) { restored<kcAcquireInfo>(ar); });
  expectCorruptionRefused(archived(kcRange(1.0, 2.0)), [](kcArchive& ar) { restored<kcRange>(ar); });
  EXPECT_FALSE(restored<kcRange>(archived(kcRange(0.0, 0.0))).isEmpty());
}
