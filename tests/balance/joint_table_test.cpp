#include "colc/balance/joint_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "colc/records/channel_result.h"
#include "support/test_planes.h"

namespace {

std::unique_ptr<kcJointTable> emptyTable() { return std::make_unique<kcJointTable>(); }

double evaluate(const kcJointTable& table, double gain, double offset) {
  return kfEvaluateMapping(table, gain, offset, *emptyTable());
}

}  // namespace

// The score must see exactly the values the pel map will apply.
TEST(JointTable, TransferOfAPelValueMatchesThePelMap) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double transfers[][2] = {{1.0, 0.5},  {1.0, -0.5}, {-1.0, 255.0}, {2.0, 0.0},  {0.5, 0.25},
                                 {0.01, 2.5}, {0.0, -2.5}, {1e300, 0.0},  {-1e300, 7}, {nan, 0.0}};
  for (const auto& t : transfers) {
    const std::vector<unsigned char> map = kfBuildPelMap(t[0], t[1]);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(kfMapPelValue(v, t[0], t[1]), map[v]) << t[0] << " " << t[1] << " " << v;
  }
}

TEST(JointTable, SaturatedRowsCountOnOneSideOnly) {
  auto table = emptyTable();
  (*table)[kfJointTableRow(100)][120] = 3;
  (*table)[kfJointTableRow(0)][5] = 1;
  (*table)[kfJointTableRow(255)][250] = 2;
  // m0 = 20 hides the dark pair below it; m255 = 255 sees both bright pairs 5 below it.
  EXPECT_DOUBLE_EQ(evaluate(*table, 1.0, 20.0), std::sqrt(10.0));
  (*table)[kfJointTableRow(0)][5] = 0;
  (*table)[kfJointTableRow(0)][30] = 1;
  EXPECT_EQ(evaluate(*table, 1.0, 20.0), 5.0);

  // At the transfer of the limit itself: the dark row counts it, the bright row does not.
  auto limits = emptyTable();
  (*limits)[kDarkSaturatedRow][20] = 4;
  EXPECT_EQ(evaluate(*limits, 1.0, 20.0), 0.0);
  (*limits)[kDarkSaturatedRow][20] = 0;
  (*limits)[kBrightSaturatedRow][200] = 4;
  EXPECT_EQ(evaluate(*limits, 0.0, 200.0), std::numeric_limits<double>::infinity());
  (*limits)[kBrightSaturatedRow][199] = 1;
  EXPECT_EQ(evaluate(*limits, 0.0, 200.0), 1.0);
}

TEST(JointTable, ProductsOfLargeCountsAreExact) {
  auto table = emptyTable();
  (*table)[kfJointTableRow(1)][255] = 3'000'000'000u;  // 3e9 x 254^2 needs more than 32 bits
  (*table)[kfJointTableRow(200)][200] = 1'000'000'000u;
  EXPECT_EQ(evaluate(*table, 1.0, 0.0), std::sqrt(3e9 * 254 * 254 / 4e9));
}

TEST(JointTable, RemapFoldsValueRowsAndKeepsSaturatedRows) {
  auto table = emptyTable();
  for (int v = 0; v < 256; ++v) (*table)[v + 1][v] = 1;  // rows of 0 and 255 are not read
  (*table)[kDarkSaturatedRow][7] = 5;
  (*table)[kBrightSaturatedRow][9] = 6;
  auto remapped = emptyTable();
  kfRemapJointHistogram(*table, 0.5, 0.0, *remapped);  // 2k - 1 and 2k both land on k
  EXPECT_EQ((*remapped)[kDarkSaturatedRow][7], 5u);
  EXPECT_EQ((*remapped)[kBrightSaturatedRow][9], 6u);
  EXPECT_EQ((*remapped)[1][0], 0u);
  EXPECT_EQ((*remapped)[50 + 1][99], 1u);
  EXPECT_EQ((*remapped)[50 + 1][100], 1u);
  EXPECT_EQ((*remapped)[127 + 1][254], 1u);
  EXPECT_EQ((*remapped)[128 + 1][255], 0u);
  std::uint64_t total = 0;
  for (const auto& row : *remapped)
    for (std::uint32_t count : row) total += count;
  EXPECT_EQ(total, 254u + 5 + 6);
}

TEST(JointTable, BuildReadsTheSamePositionsInEveryImage) {
  // The source window is a part of bigger pels; the mask's window is bigger still.
  kcPelBuffer<unsigned char> src = makePlane(6, 4, [](long x, long y) { return x == 0 ? 0 : (y == 3 ? 255 : x * 10); });
  kcPelBuffer<unsigned char> dst = makePlane(6, 4, [](long x, long) { return x * 10 + 1; });
  kcPelBuffer<unsigned char> mask = makePlane(8, 6, [](long x, long y) { return x == 3 && y == 1 ? 0 : 255; });
  const kcPelRect window(1, 1, 5, 4);
  src.window(window, false);
  dst.window(window, false);
  auto table = emptyTable();
  kfBuildJointHistogram(src, mask, dst, *table);
  EXPECT_EQ((*table)[kfJointTableRow(10)][11], 2u);
  EXPECT_EQ((*table)[kfJointTableRow(30)][31], 1u);  // (3, 1) masked out
  EXPECT_EQ((*table)[kBrightSaturatedRow][41], 1u);
  EXPECT_EQ((*table)[kDarkSaturatedRow][1], 0u);  // column 0 lies outside the window
  kfBuildJointHistogram(src, dst, *table);
  EXPECT_EQ((*table)[kfJointTableRow(30)][31], 2u);

  mask.window(kcPelRect(2, 0, 8, 6), false);
  EXPECT_THROW(kfBuildJointHistogram(src, mask, dst, *table), kcBadArgument);
  dst.window(kcPelRect(0, 0, 4, 3), false);
  EXPECT_THROW(kfBuildJointHistogram(src, dst, *table), kcBadArgument);
}
