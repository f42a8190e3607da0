// The error of a candidate transfer on a joint table without building the
// remapped table: one pass over the occupied value rows instead of over
// 66,048 counts. It returns the very same double as kfEvaluateMapping for
// every table of at most 2^32 - 1 pairs (see fast_evaluation.cpp for why).
#pragma once

#include <array>
#include <cstdint>

#include "colc/balance/internal/joint_stats.h"
#include "colc/balance/internal/joint_table.h"

class kcFastEvaluation {
 public:
  explicit kcFastEvaluation(const kcJointTable& table);
  // The same, with the sums of table already taken.
  kcFastEvaluation(const kcJointTable& table, const kcJointTableSums& sums);

  // The error of (gain, offset), equal to kfEvaluateMapping on the table.
  double operator()(double gain, double offset) const;

 private:
  // An occupied value row: its source value, its pairs and twice the sum
  // of their destination values, as doubles holding exact integers.
  struct ValueRow {
    double value;
    double count;
    double twiceDestinationSum;
  };
  // Count, sum of d and sum of d^2 over columns d of a saturated row: for
  // the dark row over the columns at or above index k, for the bright row
  // over the columns below index k (k = 0..256).
  struct ColumnMoments {
    std::array<std::uint64_t, kJointTableColumns + 1> count{};
    std::array<std::uint64_t, kJointTableColumns + 1> sum{};
    std::array<std::uint64_t, kJointTableColumns + 1> squares{};
  };

  std::array<ValueRow, 254> rows_{};
  int occupiedRows_ = 0;
  std::uint64_t valueCount_ = 0;    // pairs in the value rows
  std::uint64_t valueSquares_ = 0;  // sum of d^2 over them
  ColumnMoments dark_;
  ColumnMoments bright_;
};
