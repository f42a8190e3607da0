#include "colc/balance/fast_evaluation.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>

namespace {

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
  const auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
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
  EXPECT_EQ(fast(1.0, 0.0), kfEvaluateMapping(*table, 1.0, 0.0, *std::make_unique<kcJointTable>()));
  // Nothing counted: the dark pairs lie below the transfer of 0, the bright ones at the transfer of 255.
  *table = {};
  (*table)[kDarkSaturatedRow][3] = 5;
  (*table)[kBrightSaturatedRow][255] = 5;
  EXPECT_EQ(kcFastEvaluation(*table)(1.0, 4.0), std::numeric_limits<double>::infinity());
}
