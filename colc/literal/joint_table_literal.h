// The joint table built and scored literally: fill it pel by pel, remap it
// through a candidate transfer into a scratch table, then take the
// saturation-aware RMS error of the result. The reference that the one-pass
// gathering and the fast evaluation are tested against.
#pragma once

#include "colc/balance/internal/joint_table.h"

// Fills the table from the windows of src and dst, which must be equal
// (kcBadArgument otherwise). The masked form skips positions whose mask pel
// is 0; the mask's window must be the same too.
void kfBuildJointHistogram(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& dst,
                           kcJointTable& table);
void kfBuildJointHistogram(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                           const kcPelBuffer_const<unsigned char>& dst, kcJointTable& table);

// Folds the value rows 2..255 (source values 1..254) of table through the
// transfer into remapped; the saturated rows are copied unchanged.
void kfRemapJointHistogram(const kcJointTable& table, double gain, double offset, kcJointTable& remapped);

// The RMS error of a remapped table: value rows count fully, the dark row
// only at columns at or above the transfer of 0, the bright row only at
// columns below the transfer of 255. Positive infinity when nothing counts.
double kfMappingRmsError(const kcJointTable& remapped, double gain, double offset);

// kfRemapJointHistogram into scratch, then kfMappingRmsError on it.
double kfEvaluateMapping(const kcJointTable& table, double gain, double offset, kcJointTable& scratch);
