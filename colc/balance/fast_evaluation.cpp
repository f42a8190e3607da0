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
// Here S is regrouped. A value row mapped to m adds
//   sum over d of c_d (m - d)^2 = m (m n - 2 t) + q,
// with n = sum c_d, t = sum c_d d and q = sum c_d d^2, an identity of
// integers; the q of all value rows add up to one constant of the table.
// The rows' m (m n - 2 t) are summed in double: m n < 2^40 and 2 t < 2^41
// are exact, each term is an integer of magnitude below 2^50, and so is
// every partial sum, being at most sum (m^2 n + 2 m t) <= 3 * 255^2 * N in
// magnitude: no operation rounds. The saturated rows use running sums of
// n, t and q over the columns they count, in unsigned 64-bit arithmetic,
// exact modulo 2^64; their true contributions lie in 0..S, so the results
// are those contributions exactly, even where m n - 2 t wraps below zero.
// Adding integers below 2^53 in double is exact, so the total is S; N is
// the same integer, and the same two rounded operations (division, square
// root) follow.
#include "colc/balance/internal/fast_evaluation.h"

#include <cmath>
#include <limits>

kcFastEvaluation::kcFastEvaluation(const kcJointTable& table) : kcFastEvaluation(table, kfSumJointTable(table)) {}

kcFastEvaluation::kcFastEvaluation(const kcJointTable& table, const kcJointTableSums& sums) {
  for (int value = 1; value <= 254; ++value) {
    if (sums.rowCount[value] == 0) continue;  // an empty row adds nothing, wherever it maps
    rows_[occupiedRows_++] = {static_cast<double>(value), static_cast<double>(sums.rowCount[value]),
                              2.0 * static_cast<double>(sums.rowDestinationSum[value])};
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
  double rows = 0.0;
  for (int i = 0; i < occupiedRows_; ++i) {
    const ValueRow& row = rows_[i];
    const double m = kfMappedPelValue(row.value, gain, offset);
    rows += m * (m * row.count - row.twiceDestinationSum);
  }
  const std::uint64_t saturated = m0 * (m0 * dark_.count[m0] - 2 * dark_.sum[m0]) + dark_.squares[m0] +
                                  m255 * (m255 * bright_.count[m255] - 2 * bright_.sum[m255]) +
                                  bright_.squares[m255];
  const double sum = static_cast<double>(valueSquares_ + saturated) + rows;
  return std::sqrt(sum / static_cast<double>(number));
}
