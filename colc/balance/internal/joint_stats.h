// What the fit reads from a pair of planes, gathered in one pass over the
// pels: the joint table, the positions a mask leaves out, and whether the
// mask holds only 0 and 255. Everything else the fit needs from the images
// (saturation counts, active pels, the histograms of the starting point)
// follows from the table, through the sums of one sweep over it.
#pragma once

#include <array>
#include <cstdint>

#include "colc/balance/internal/joint_table.h"
#include "colc/host/imaging.h"
#include "colc/records/internal/pel_rows.h"

struct kcMaskTally {
  std::int64_t zeros = 0;  // positions the mask leaves out
  bool binary = true;      // the mask holds no value but 0 and 255
};

// Fills table exactly as kfBuildJointHistogram does, reading every pel of
// the windows of src, dst and (when bound) mask once; the windows must be
// equal (kcBadArgument otherwise). When the mask is not binary the table
// is of no use, and the tally says so.
kcMaskTally kfGatherJointTable(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcPelBuffer_const<unsigned char>& dst, kcJointTable& table);

// The same for the three planes of two images of one size, read where
// they lie (interleaved or not) in one pass: table k of plane k. The mask,
// when bound, is read over the images' size from its window's corner.
kcMaskTally kfGatherJointTables(const kcPelRows<const unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                                const kcPelRows<const unsigned char>& dst, const std::array<kcJointTable*, 3>& tables);

// True when the mask holds only 0 and 255 in the part of its window outside
// inner, the part the gathering pass did not read.
bool kfIsBinaryOutside(const kcPelBuffer_const<unsigned char>& mask, const kcPelRect& inner);

// Sums over the value rows (source values 1..254) of a joint table.
struct kcJointTableSums {
  // By source value: the pairs of its row, and the sum of their destination values.
  std::array<std::uint64_t, 256> rowCount{};
  std::array<std::uint64_t, 256> rowDestinationSum{};
  // By destination value: the pairs of that column in the value rows.
  std::array<std::uint64_t, 256> valueColumnCount{};
};

// One sweep over the value rows of table.
kcJointTableSums kfSumJointTable(const kcJointTable& table);
