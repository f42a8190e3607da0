// Why the error is bit for bit that of kfEvaluateMapping, for any table of
// at most 2^32 - 1 pairs (a table of a plane of fewer than 2^32 pels):
//
// The literal evaluation returns sqrt(S / N), S = sum of count * (m - d)^2
// over the counted pairs, summed in double, and N their number. No count
// of its remapped table can exceed the table's total, so the fold cannot
// wrap; every product is an integer below 2^32 * 255^2 < 2^48, formed
// exactly in 64 bits and exactly representable as a double; and every
// partial sum is an integer between 0 and S < 2^48 < 2^53, so no double
// addition rounds, whatever the order: the literal S is the exact integer.
//
// Here S is regrouped by rows. A row mapped to m adds
//   sum over d of c_d (m - d)^2 = m (m n - 2 t) + q,
// with n = sum c_d, t = sum c_d d and q = sum c_d d^2, an identity of
// integers; the q of all value rows add up to one constant of the table,
// and the saturated rows use running sums of n, t and q over the columns
// they count. All of it is computed in unsigned 64-bit arithmetic, which
// is exact modulo 2^64, so the total is congruent to S modulo 2^64, even
// where a term like m n - 2 t wraps below zero; as 0 <= S < 2^64 it is S
// itself. S < 2^53 converts to double exactly, N is the same integer, and
// the same two rounded operations (division, square root) follow.
#include "colc/balance/fast_evaluation.h"

#include <cmath>
#include <limits>

kcFastEvaluation::kcFastEvaluation(const kcJointTable& table) : kcFastEvaluation(table, kfSumJointTable(table)) {}

kcFastEvaluation::kcFastEvaluation(const kcJointTable& table, const kcJointTableSums& sums) {
  for (int value = 1; value <= 254; ++value) {
    if (sums.rowCount[value] == 0) continue;  // an empty row adds nothing, wherever it maps
    rows_[occupiedRows_++] = {value, sums.rowCount[value], sums.rowDestinationSum[value]};
    valueCount_ += sums.rowCount[value];
  }
  for (std::uint64_t d = 0; d < kJointTableColumns; ++d) valueSquares_ += d * d * sums.valueColumnCount[d];

  // The dark row counts the columns at or above m0, the bright row those below m255.
  const kcJointTableRow& darkRow = table[kDarkSaturatedRow];
  for (int d = kJointTableColumns - 1; d >= 0; --d) {
    const std::uint64_t c = darkRow[d], u = static_cast<std::uint64_t>(d);
    dark_.count[d] = dark_.count[d + 1] + c;
    dark_.sum[d] = dark_.sum[d + 1] + c * u;
    dark_.squares[d] = dark_.squares[d + 1] + c * u * u;
  }
  const kcJointTableRow& brightRow = table[kBrightSaturatedRow];
  for (int d = 0; d < kJointTableColumns; ++d) {
    const std::uint64_t c = brightRow[d], u = static_cast<std::uint64_t>(d);
    bright_.count[d + 1] = bright_.count[d] + c;
    bright_.sum[d + 1] = bright_.sum[d] + c * u;
    bright_.squares[d + 1] = bright_.squares[d] + c * u * u;
  }
}

double kcFastEvaluation::operator()(double gain, double offset) const {
  const auto m0 = static_cast<std::uint64_t>(kfMapPelValue(0, gain, offset));
  const auto m255 = static_cast<std::uint64_t>(kfMapPelValue(255, gain, offset));
  const std::uint64_t number = dark_.count[m0] + valueCount_ + bright_.count[m255];
  if (number == 0) return std::numeric_limits<double>::infinity();
  std::uint64_t sum = valueSquares_;
  for (int i = 0; i < occupiedRows_; ++i) {
    const ValueRow& row = rows_[i];
    const auto m = static_cast<std::uint64_t>(kfMapPelValue(row.value, gain, offset));
    sum += m * (m * row.count - 2 * row.destinationSum);
  }
  sum += m0 * (m0 * dark_.count[m0] - 2 * dark_.sum[m0]) + dark_.squares[m0];
  sum += m255 * (m255 * bright_.count[m255] - 2 * bright_.sum[m255]) + bright_.squares[m255];
  return std::sqrt(static_cast<double>(sum) / static_cast<double>(number));
}
