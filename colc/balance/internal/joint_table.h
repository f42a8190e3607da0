// The joint table of (source value, destination value) pairs: its rows,
// the transfer of a pel value through a gain and offset, and the check
// that two images' windows agree. Its literal building and scoring are in
// colc/literal/joint_table_literal.h.
#pragma once

#include <array>
#include <cstdint>

#include "colc/host/imaging.h"

// Rows: 0 holds source value 0 (dark-saturated), row v + 1 holds value v,
// 257 holds source value 255 (bright-saturated). Columns: destination values.
constexpr int kJointTableRows = 258;
constexpr int kJointTableColumns = 256;
constexpr int kDarkSaturatedRow = 0;
constexpr int kBrightSaturatedRow = 257;

using kcJointTableRow = std::array<std::uint32_t, kJointTableColumns>;
using kcJointTable = std::array<kcJointTableRow, kJointTableRows>;

// The row of a source value in a table built from images.
inline int kfJointTableRow(int sourceValue) {
  if (sourceValue == 0) return kDarkSaturatedRow;
  if (sourceValue == 255) return kBrightSaturatedRow;
  return sourceValue + 1;
}

// The transfer of pel value v: round half away from zero, then clamp to
// 0..255; the same values the channel result's pel map holds. A rounded
// value beyond the 32-bit range saturates (huge values give 255, hugely
// negative values and NaN give 0) instead of overflowing the conversion.
// As a double holding that integer: the fast evaluation computes with it
// for every row of every candidate, and the selects compile without branches.
inline double kfMappedPelValue(double value, double gain, double offset) {
  const double x = value * gain + offset;
  const double rounded = x >= 0.0 ? x + 0.5 : x - 0.5;
  // Truncation toward zero of anything in (-1, 256) lands in 0..255;
  // outside that range (and for NaN) the clamp decides alone.
  const double inRange = rounded >= 256.0 ? 255.0 : (rounded > -1.0 ? rounded : 0.0);
  return static_cast<double>(static_cast<int>(inRange));
}
inline int kfMapPelValue(int value, double gain, double offset) {
  return static_cast<int>(kfMappedPelValue(static_cast<double>(value), gain, offset));
}

// kcBadPointer when a or b is unbound, kcBadArgument when their windows differ.
void kfRequireSameWindow(const kcPelBuffer_const<unsigned char>& a, const kcPelBuffer_const<unsigned char>& b);
