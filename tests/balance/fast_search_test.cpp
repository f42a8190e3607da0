#include "colc/balance/internal/fast_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <tuple>

#include "colc/balance/internal/fast_evaluation.h"
#include "colc/literal/gain_offset_search_literal.h"
#include "colc/literal/joint_table_literal.h"

namespace {

auto endState(const kcGainOffsetSearch& s) {
  return std::make_tuple(s.gain, s.offset, s.rmsError, s.gainStep, s.offsetStep, s.rounds, s.stalled);
}

}  // namespace

TEST(FastSearch, EndsWhereTheLiteralSearchEndsStallsIncluded) {
  // Small tables started on rounding edges (offsets at halves, gains at
  // eighths), where runners-up tie along one axis: pairs near a line with a
  // saturated pair, or a few pairs of small values. Some start anywhere.
  std::mt19937_64 rng(7);
  const auto uniform = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  const auto table = std::make_unique<kcJointTable>();
  int stalledOnOffset = 0, stalledOnGain = 0;
  for (int i = 0; i < 6000; ++i) {
    *table = {};
    if (i % 3 == 0) {
      const int base = uniform(0, 40);
      (*table)[uniform(0, 1) ? kDarkSaturatedRow : kBrightSaturatedRow][base + uniform(0, 40)] += uniform(1, 60);
      for (int c = uniform(1, 5); c > 0; --c) {
        const int v = uniform(1, 41);
        (*table)[kfJointTableRow(v)][v + base + uniform(0, 2)] += uniform(1, 60);
      }
    } else {
      for (int c = uniform(1, 4); c > 0; --c) {
        const int row = uniform(0, 5) == 0 ? (uniform(0, 1) ? kDarkSaturatedRow : kBrightSaturatedRow) : uniform(2, 21);
        (*table)[row][uniform(0, 23)] += uniform(1, 5);
      }
    }
    const bool onEdge = i % 8 != 7;
    const double gain = onEdge ? 0.125 * uniform(0, 16) : std::uniform_real_distribution<double>(-2.0, 3.0)(rng);
    const double offset = onEdge ? 0.5 * uniform(-10, 90) : std::uniform_real_distribution<double>(-50.0, 150.0)(rng);
    // The fast evaluation stands in for the literal one on both sides
    // (joint_table_test shows they are equal); this keeps a thousand
    // literal searches of a thousand rounds affordable.
    const kcFastEvaluation evaluation(*table);
    long evaluations = 0;
    const kcGainOffsetSearch literal = kfSearchGainOffset(evaluation, gain, offset);
    const kcGainOffsetSearch fast = kfSearchGainOffsetFast(
        [&](double g, double o) {
          ++evaluations;
          return evaluation(g, o);
        },
        gain, offset);
    ASSERT_EQ(endState(fast), endState(literal)) << "case " << i << ": gain " << gain << ", offset " << offset;
    if (literal.stalled) {
      stalledOnOffset += literal.offsetStep == 0.0;
      stalledOnGain += literal.gainStep == 0.0;
      EXPECT_LT(evaluations, 9 * 80) << "case " << i;  // instead of about 9 x 1080
    }
  }
  // The set must hold degenerate searches on both axes.
  EXPECT_GT(stalledOnOffset, 100);
  EXPECT_GE(stalledOnGain, 2);
}

TEST(FastSearch, BothSearchesStallAtARoundingEdgeWithoutMovingTheStart) {
  // Offset 9.5 sits on a rounding edge: the dark pairs at 10 want m0 = 10,
  // and any lower offset drops m0. Source value 1 maps to 10 at gains 0.25
  // and 0.75 alike but to 11 at 1.25. So every round's runner-up is
  // (gain - step, offset): the offset step halves down to 0.0 while the
  // gain step stays at 0.5, and from then on every round is the same. The
  // fast search runs on the literal evaluation, the literal search (about
  // 9,700 evaluations) on the fast one.
  const auto table = std::make_unique<kcJointTable>();
  (*table)[kDarkSaturatedRow][10] = 50;
  (*table)[kfJointTableRow(1)][10] = 50;
  const auto scratch = std::make_unique<kcJointTable>();
  long evaluations = 0;
  const kcGainOffsetSearch fast = kfSearchGainOffsetFast(
      [&](double g, double o) {
        ++evaluations;
        return kfEvaluateMapping(*table, g, o, *scratch);
      },
      0.75, 9.5);
  const kcFastEvaluation evaluation(*table);
  const kcGainOffsetSearch literal = kfSearchGainOffset(evaluation, 0.75, 9.5);
  EXPECT_EQ(endState(fast), endState(literal));
  EXPECT_EQ(std::make_tuple(literal.gain, literal.offset, literal.rmsError, literal.gainStep, literal.offsetStep),
            std::make_tuple(0.75, 9.5, 0.0, 0.5, 0.0));
  EXPECT_TRUE(literal.stalled);
  EXPECT_GT(literal.rounds, 1000);
  EXPECT_LT(evaluations, 9 * 80);
}
