// The joint table's literal evaluation, and the fast one against it.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>

#include "colc/balance/internal/fast_evaluation.h"
#include "colc/literal/joint_table_literal.h"
#include "colc/records/channel_result.h"

namespace {

double evaluate(const kcJointTable& table, double gain, double offset) {
  return kfEvaluateMapping(table, gain, offset, *std::make_unique<kcJointTable>());
}

constexpr std::uint64_t kMaxPairs = 0xFFFF'FFFFu;  // the most pairs a table of one plane can hold

// A few occupied cells anywhere, the saturated rows and the rows 1 and 256
// that the score ignores included. Counts run from 1 to 2^32 - 1, the total
// stays at most 2^32 - 1. Every fourth table is dense with small counts.
void randomTable(std::mt19937_64& rng, kcJointTable& table) {
  table = {};
  std::uniform_int_distribution<int> row(0, kJointTableRows - 1), column(0, kJointTableColumns - 1);
  std::uniform_int_distribution<int> cells(1, 40), saturated(0, 3), width(0, 32);
  const bool dense = rng() % 4 == 0;
  std::uint64_t left = kMaxPairs;
  for (int i = dense ? 3000 : cells(rng); i > 0 && left > 0; --i) {
    const int r = saturated(rng) == 0 ? (rng() % 2 ? kDarkSaturatedRow : kBrightSaturatedRow) : row(rng);
    const std::uint64_t most = std::min<std::uint64_t>(left, dense ? 1000 : (std::uint64_t{1} << width(rng)));
    const std::uint64_t count = std::uniform_int_distribution<std::uint64_t>(1, most)(rng);
    std::uint32_t& cell = table[r][column(rng)];
    if (cell + count > kMaxPairs) continue;
    cell += static_cast<std::uint32_t>(count);
    left -= count;
  }
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

TEST(FastEvaluation, EqualsTheLiteralEvaluationBitForBit) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  // Transfers at rounding edges, clamping everything, degenerate or not finite.
  const double fixed[][2] = {{1.0, 0.0},   {1.0, 0.5},    {0.5, 127.5}, {0.0, 254.5}, {-1.0, 255.0}, {-0.0, -0.0},
                             {1e300, 0.0}, {-1e300, 7.0}, {nan, 0.0},   {1.0, nan},   {inf, -inf},   {2.0, -1e10}};
  std::mt19937_64 rng(20240612);
  std::uniform_real_distribution<double> gains(-3.0, 3.0), offsets(-300.0, 600.0);
  std::uniform_int_distribution<int> halves(-20, 520);
  const auto table = std::make_unique<kcJointTable>();
  const auto scratch = std::make_unique<kcJointTable>();
  const auto same = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
  };
  for (int t = 0; t < 1000; ++t) {
    randomTable(rng, *table);
    const kcFastEvaluation fast(*table);
    const double transfers[][2] = {{fixed[t % 12][0], fixed[t % 12][1]},
                                   {gains(rng), offsets(rng)},
                                   {gains(rng), 0.5 * halves(rng)},
                                   {0.25 * (halves(rng) % 16), 0.5 * halves(rng)}};
    for (const auto& [gain, offset] : transfers) {
      const double literal = kfEvaluateMapping(*table, gain, offset, *scratch);
      ASSERT_TRUE(same(fast(gain, offset), literal)) << "table " << t << ", gain " << gain << ", offset " << offset
                                                     << ": " << fast(gain, offset) << " vs " << literal;
    }
  }
}

TEST(FastEvaluation, LargestTableIsExact) {
  // 2^32 - 1 pairs 255 apart: the largest sum of squares of one plane.
  const auto table = std::make_unique<kcJointTable>();
  (*table)[kfJointTableRow(1)][255] = 0xFFFF'FFFFu;
  const kcFastEvaluation fast(*table);
  EXPECT_EQ(fast(0.0, 0.0), 255.0);
  EXPECT_EQ(fast(1.0, 0.0), evaluate(*table, 1.0, 0.0));
  // Nothing counted: the dark pairs lie below the transfer of 0, the bright ones at the transfer of 255.
  *table = {};
  (*table)[kDarkSaturatedRow][3] = 5;
  (*table)[kBrightSaturatedRow][255] = 5;
  EXPECT_EQ(kcFastEvaluation(*table)(1.0, 4.0), std::numeric_limits<double>::infinity());
}
