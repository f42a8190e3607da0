#include "colc/balance/internal/joint_stats.h"

#include <algorithm>

namespace {

// During the pass every source value v counts in row v + 1, so that a pel
// costs one index computation and no branch; rows 1 and 256 (values 0 and
// 255) then move to the saturated rows, where a table built pel by pel has them.
constexpr int kPassRowOfValue0 = 1;
constexpr int kPassRowOfValue255 = 256;

void moveSaturatedRows(kcJointTable& table) {
  table[kDarkSaturatedRow] = table[kPassRowOfValue0];
  table[kPassRowOfValue0] = {};
  table[kBrightSaturatedRow] = table[kPassRowOfValue255];
  table[kPassRowOfValue255] = {};
}

bool isBinary(const unsigned char* pels, long count) {
  return std::all_of(pels, pels + std::max(count, 0L), [](unsigned char p) { return p == 0 || p == 255; });
}

}  // namespace

kcMaskTally kfGatherJointTable(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcPelBuffer_const<unsigned char>& dst, kcJointTable& table) {
  kfRequireSameWindow(src, dst);
  const bool masked = mask.isBound();
  if (masked) kfRequireSameWindow(src, mask);
  table = {};
  kcMaskTally tally;
  const kcPelRect& window = src.window();
  const long width = window.width();
  if (!masked) {
    for (long y = window.top; y < window.bottom; ++y) {
      const unsigned char* s = src.pointToRow(y);
      const unsigned char* d = dst.pointToRow(y);
      for (long x = 0; x < width; ++x) ++table[s[x] + 1u][d[x]];
    }
  } else {
    // Row 0 is free during the pass: masked-out positions count there, so
    // that the mask costs no branch either. (m + 1) & 0xFE is 0 only for
    // the mask values 0 and 255.
    unsigned notBinary = 0;
    for (long y = window.top; y < window.bottom; ++y) {
      const unsigned char* s = src.pointToRow(y);
      const unsigned char* d = dst.pointToRow(y);
      const unsigned char* m = mask.pointToRow(y);
      for (long x = 0; x < width; ++x) {
        const unsigned maskPel = m[x];
        const unsigned keep = 0u - (maskPel >> 7u);  // all ones for 255, 0 for 0
        ++table[(s[x] + 1u) & keep][d[x]];
        notBinary |= (maskPel + 1u) & 0xFEu;
      }
    }
    tally.binary = notBinary == 0;
    for (std::uint32_t count : table[0]) tally.zeros += count;
  }
  moveSaturatedRows(table);
  return tally;
}

namespace {

// One row of the three-plane pass; the steps are constants where the
// caller knows them, so that the row runs as tight as the one-plane pass.
template <long SrcStep, long DstStep, bool Masked>
unsigned gatherRow(const kcPelRun<const unsigned char>& s, const kcPelRun<const unsigned char>& d,
                   const unsigned char* m, long width, const std::array<kcJointTable*, 3>& tables) {
  const long srcStep = SrcStep > 0 ? SrcStep : s.step, dstStep = DstStep > 0 ? DstStep : d.step;
  unsigned notBinary = 0;
  for (long x = 0; x < width; ++x) {
    unsigned keep = ~0u;
    if constexpr (Masked) {
      const unsigned maskPel = m[x];
      keep = 0u - (maskPel >> 7u);
      notBinary |= (maskPel + 1u) & 0xFEu;
    }
    for (std::size_t k = 0; k < 3; ++k)
      ++(*tables[k])[(s.plane[k][x * srcStep] + 1u) & keep][d.plane[k][x * dstStep]];
  }
  return notBinary;
}

}  // namespace

kcMaskTally kfGatherJointTables(const kcPelRows<const unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                                const kcPelRows<const unsigned char>& dst, const std::array<kcJointTable*, 3>& tables) {
  for (kcJointTable* table : tables) *table = {};
  const bool masked = mask.isBound(), threeByThree = src.step == 3 && dst.step == 3;
  // As in the one-plane pass: masked-out positions count in row 0.
  unsigned notBinary = 0;
  for (long y = 0; y < src.height; ++y) {
    const kcPelRun<const unsigned char> s = src.row(y), d = dst.row(y);
    const unsigned char* m = masked ? mask.pointToRow(mask.window().top + y) : nullptr;
    if (threeByThree)
      notBinary |= masked ? gatherRow<3, 3, true>(s, d, m, src.width, tables)
                          : gatherRow<3, 3, false>(s, d, m, src.width, tables);
    else
      notBinary |= masked ? gatherRow<0, 0, true>(s, d, m, src.width, tables)
                          : gatherRow<0, 0, false>(s, d, m, src.width, tables);
  }
  kcMaskTally tally;
  tally.binary = notBinary == 0;
  for (std::uint32_t count : (*tables[0])[0]) tally.zeros += count;
  for (kcJointTable* table : tables) moveSaturatedRows(*table);
  return tally;
}

bool kfIsBinaryOutside(const kcPelBuffer_const<unsigned char>& mask, const kcPelRect& inner) {
  const kcPelRect& window = mask.window();
  for (long y = window.top; y < window.bottom; ++y) {
    const unsigned char* row = mask.pointToRow(y);
    if (y < inner.top || y >= inner.bottom) {
      if (!isBinary(row, window.width())) return false;
    } else if (!isBinary(row, inner.left - window.left) ||
               !isBinary(row + std::max(inner.right - window.left, 0L), window.right - inner.right)) {
      return false;
    }
  }
  return true;
}

kcJointTableSums kfSumJointTable(const kcJointTable& table) {
  // Tables of images are sparse: the pairs gather along the transfer's
  // line. Blocks of eight empty counts are passed over whole.
  constexpr int kBlock = 8;
  kcJointTableSums sums;
  for (int value = 1; value <= 254; ++value) {
    const kcJointTableRow& row = table[kfJointTableRow(value)];
    std::uint64_t count = 0;
    std::uint64_t destinationSum = 0;
    for (int block = 0; block < kJointTableColumns; block += kBlock) {
      const std::uint32_t* counts = row.data() + block;
      std::uint32_t any = 0;
      for (int k = 0; k < kBlock; ++k) any |= counts[k];
      if (any == 0) continue;
      for (int k = 0; k < kBlock; ++k) {
        const auto d = static_cast<std::uint32_t>(block + k);
        count += counts[k];
        destinationSum += static_cast<std::uint64_t>(counts[k]) * d;
        sums.valueColumnCount[d] += counts[k];
      }
    }
    sums.rowCount[value] = count;
    sums.rowDestinationSum[value] = destinationSum;
  }
  return sums;
}
