// The single-plane fit up to its numbers: input diagnostics, the checks
// that refuse unusable images, the active pels, the moment-matching start,
// the joint table, the search and the proportions of active pels, in one
// pass over the pels and a fast search. Its literal form, on intermediate
// images, is in colc/literal/channel_fit_literal.h.
#pragma once

#include "colc/balance/internal/gain_offset_search.h"
#include "colc/balance/internal/joint_stats.h"
#include "colc/host/diag.h"
#include "colc/host/imaging.h"

struct kcChannelFit {
  double gain = 0.0;
  double offset = 0.0;
  double rmsError = 0.0;
  double proportionActiveSrcPels = 0.0;
  double proportionActiveDstPels = 0.0;
  double proportionActivePels = 0.0;
  // The moment-matching point the search started from, and where it ended.
  double startGain = 0.0;
  double startOffset = 0.0;
  kcGainOffsetSearch search;
};

// Fits src onto dst, using only the positions where a bound mask is 255.
// Records the input images first when asked; throws
// kcColorCalibrationDefs::BadImages for images it cannot fit. Reads every
// pel once and allocates one joint table.
kcChannelFit kfFitChannel(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                          const kcPelBuffer_const<unsigned char>& dst, kcDiagObject* diag, unsigned long diagFlags);

// The fit from a gathered joint table of the given number of positions
// (kfGatherJointTable's, with its tally). Throws BadImages when no pel is
// active.
kcChannelFit kfFitChannelFromTable(const kcJointTable& table, const kcMaskTally& tally, std::int64_t area);
