#include "colc/balance/joint_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "colc/records/channel_result.h"

namespace {

double evaluate(const kcJointTable& table, double gain, double offset) {
  return kfEvaluateMapping(table, gain, offset, *std::make_unique<kcJointTable>());
}

}  // namespace

// The score must see exactly the values that the pel map will apply.
TEST(JointTable, TransferOfAPelValueMatchesThePelMap) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double transfers[][2] = {{1.0, 0.5}, {-1.0, 255.0}, {0.5, 0.25}, {0.01, 2.5}, {0.0, -2.5}, {1e300, 0.0},
                                 {-1e300, 7}, {nan, 0.0}};
  for (const auto& t : transfers) {
    const std::vector<unsigned char> map = kfBuildPelMap(t[0], t[1]);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(kfMapPelValue(v, t[0], t[1]), map[v]) << t[0] << " " << t[1] << " " << v;
  }
}

TEST(JointTable, ScoresSaturatedRowsOnOneSideWithExactProducts) {
  auto table = std::make_unique<kcJointTable>();
  (*table)[kfJointTableRow(100)][120] = 3;
  (*table)[kfJointTableRow(0)][5] = 1;     // below m0 = 20: says nothing
  (*table)[kfJointTableRow(255)][250] = 2;  // below m255 = 255: 5 too dark
  EXPECT_DOUBLE_EQ(evaluate(*table, 1.0, 20.0), std::sqrt(10.0));
  (*table)[kfJointTableRow(0)][5] = 0;
  (*table)[kfJointTableRow(0)][30] = 1;
  EXPECT_EQ(evaluate(*table, 1.0, 20.0), 5.0);

  // The dark row counts its limit m0, the bright row does not count m255.
  auto limits = std::make_unique<kcJointTable>();
  (*limits)[kDarkSaturatedRow][20] = 4;
  (*limits)[kBrightSaturatedRow][200] = 4;
  EXPECT_EQ(evaluate(*limits, 0.0, 20.0), 0.0);
  (*limits)[kDarkSaturatedRow][20] = 0;
  EXPECT_EQ(evaluate(*limits, 0.0, 200.0), std::numeric_limits<double>::infinity());

  // 3e9 pairs 254 apart: each product needs more than 32 bits.
  *limits = {};
  (*limits)[kfJointTableRow(1)][255] = 3'000'000'000u;
  (*limits)[kfJointTableRow(200)][200] = 1'000'000'000u;
  EXPECT_EQ(evaluate(*limits, 1.0, 0.0), std::sqrt(3e9 * 254 * 254 / 4e9));
}
