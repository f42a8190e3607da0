#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "colc/host/acquire_info.h"
#include "colc/host/exceptions.h"
#include "colc/host/imaging.h"
#include "support/archive_checks.h"

TEST(RangeArchive, RoundTripsEveryKindOfRange) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const kcRange& range : {kcRange::EmptyRange(), kcRange(1e-6, 0.3), kcRange(0.3, -0.0), kcRange(-inf, inf)}) {
    const std::vector<unsigned char> bytes = archived(range);
    EXPECT_EQ(bytes.size(), 17u);
    EXPECT_TRUE(restored<kcRange>(bytes) == range) << range.start() << " " << range.end();
  }
  // A range that happens to be [0, 0] is not the empty range.
  EXPECT_FALSE(restored<kcRange>(archived(kcRange(0.0, 0.0))).isEmpty());
}

TEST(AcquireInfoArchive, RoundTripsAndChecksItsVersion) {
  kcAcquireInfo info;
  info.failure(kcAcqFailure(kcAcqFailure::eTimedOut, "no frame within 2 s"));
  info.sequence(4000000000u);
  std::vector<unsigned char> bytes = archived(info);
  const kcAcquireInfo back = restored<kcAcquireInfo>(bytes);
  EXPECT_EQ(back.failure().status(), kcAcqFailure::eTimedOut);
  EXPECT_EQ(back.failure().description(), "no frame within 2 s");
  EXPECT_EQ(back.sequence(), 4000000000u);

  bytes[0] = 1;
  try {
    restored<kcAcquireInfo>(bytes);
    ADD_FAILURE() << "version 1 was read";
  } catch (const kcArchive::UnknownVersion& e) {
    EXPECT_EQ(e.file(), "kcAcquireInfo");
    EXPECT_EQ(e.line(), 0);
  }
}

TEST(HostValueArchive, DamagedDataIsRefusedCleanly) {
  kcAcquireInfo info;
  info.failure(kcAcqFailure(kcAcqFailure::eFailed, "lost"));
  expectCorruptionRefused(archived(info), [](kcArchive& ar) {
    kcAcquireInfo read;
    ar || read;
  });
  expectCorruptionRefused(archived(kcRange(1.0, 2.0)), [](kcArchive& ar) {
    kcRange read;
    ar || read;
  });
}
