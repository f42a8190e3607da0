// Steps that the single-plane fit and its literal form share: the input
// diagnostics, the checks of the images' windows, the moment-matching
// starting point and the proportions of active pels.
#pragma once

#include <cstdint>
#include <vector>

#include "colc/balance/internal/channel_fit.h"
#include "colc/host/diag.h"
#include "colc/host/imaging.h"

// Records src, the mask (when bound) and dst when the flags ask for the inputs.
void kfRecordFitInputs(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                       const kcPelBuffer_const<unsigned char>& dst, kcDiagObject* diag, unsigned long diagFlags);

// The common window of src and dst. Throws kcColorCalibrationDefs::BadImages
// when either is unbound, when they do not overlap, or when a bound mask
// does not cover the whole common window.
kcPelRect kfFitWindow(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                      const kcPelBuffer_const<unsigned char>& dst);

// The plane restricted to window (a copy sharing the pels).
kcPelBuffer_const<unsigned char> kfRestricted(kcPelBuffer_const<unsigned char> plane, const kcPelRect& window);

// Equal mean and standard deviation of the transferred source histogram
// and the destination histogram.
void kfMomentMatchingStart(const std::vector<unsigned long>& source, const std::vector<unsigned long>& destination,
                           double& gain, double& offset);

// How many of the usable positions of the common window (its area less
// the masked-out ones) are unsaturated in the source, in the destination,
// and active.
struct kcActivityCounts {
  std::int64_t area = 0;
  std::int64_t maskedOut = 0;
  std::int64_t saturatedSource = 0;
  std::int64_t saturatedDestination = 0;
  std::int64_t active = 0;
};
void kfSetProportions(const kcActivityCounts& counts, kcChannelFit& fit);
