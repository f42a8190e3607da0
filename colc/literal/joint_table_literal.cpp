#include "colc/literal/joint_table_literal.h"

#include <cmath>
#include <limits>

void kfBuildJointHistogram(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& dst,
                           kcJointTable& table) {
  kfRequireSameWindow(src, dst);
  table = {};
  const kcPelRect& window = src.window();
  for (long y = window.top; y < window.bottom; ++y) {
    const unsigned char* s = src.pointToRow(y);
    const unsigned char* d = dst.pointToRow(y);
    for (long x = 0; x < window.width(); ++x) ++table[kfJointTableRow(s[x])][d[x]];
  }
}

void kfBuildJointHistogram(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                           const kcPelBuffer_const<unsigned char>& dst, kcJointTable& table) {
  kfRequireSameWindow(src, dst);
  kfRequireSameWindow(src, mask);
  table = {};
  const kcPelRect& window = src.window();
  for (long y = window.top; y < window.bottom; ++y) {
    const unsigned char* s = src.pointToRow(y);
    const unsigned char* d = dst.pointToRow(y);
    const unsigned char* m = mask.pointToRow(y);
    for (long x = 0; x < window.width(); ++x)
      if (m[x] != 0) ++table[kfJointTableRow(s[x])][d[x]];
  }
}

void kfRemapJointHistogram(const kcJointTable& table, double gain, double offset, kcJointTable& remapped) {
  remapped = {};
  remapped[kDarkSaturatedRow] = table[kDarkSaturatedRow];
  remapped[kBrightSaturatedRow] = table[kBrightSaturatedRow];
  for (int value = 1; value <= 254; ++value) {
    const kcJointTableRow& from = table[value + 1];
    kcJointTableRow& to = remapped[kfMapPelValue(value, gain, offset) + 1];
    for (int d = 0; d < kJointTableColumns; ++d) to[d] += from[d];
  }
}

double kfMappingRmsError(const kcJointTable& remapped, double gain, double offset) {
  const int m0 = kfMapPelValue(0, gain, offset);
  const int m255 = kfMapPelValue(255, gain, offset);
  // Each product is formed exactly in 64 bits. Their sum in double stays an
  // exact integer while it is below 2^53 (about 1.4e11 pels of the worst
  // difference), so the order of summation cannot change the result.
  double sum = 0.0;
  std::uint64_t number = 0;
  const auto add = [&](std::uint32_t count, int difference) {
    sum += static_cast<double>(static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(difference * difference));
    number += count;
  };
  // A dark-saturated source pel only says "at most m0": it counts when the
  // destination lies at or above m0. A bright one likewise only below m255.
  for (int d = m0; d < kJointTableColumns; ++d) add(remapped[kDarkSaturatedRow][d], d - m0);
  for (int mapped = 0; mapped <= 255; ++mapped)
    for (int d = 0; d < kJointTableColumns; ++d) add(remapped[mapped + 1][d], mapped - d);
  for (int d = 0; d < m255; ++d) add(remapped[kBrightSaturatedRow][d], m255 - d);
  if (number == 0) return std::numeric_limits<double>::infinity();
  return std::sqrt(sum / static_cast<double>(number));
}

double kfEvaluateMapping(const kcJointTable& table, double gain, double offset, kcJointTable& scratch) {
  kfRemapJointHistogram(table, gain, offset, scratch);
  return kfMappingRmsError(scratch, gain, offset);
}
