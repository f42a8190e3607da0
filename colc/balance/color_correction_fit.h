// The cross-plane colour correction fit: the affine colour transform that
// best maps a camera's view onto the reference, sample for sample, in the
// least-squares sense. It is a stage of its own after the settings search
// and its per-plane fits, run only when asked for.
#pragma once

#include <vector>

#include "colc/host/imaging.h"
#include "colc/records/color_correction.h"
#include "colc/records/result.h"

// Samples whose view planes are all inside 1 .. 254: a clipped plane says
// nothing about the light beyond the clip.
constexpr int kColorCorrectionLowestLevel = 1;
constexpr int kColorCorrectionHighestLevel = 254;

// Fits view -> reference over the samples where mask is non-zero and no
// plane of the view is clipped; view, reference and mask are of one size
// (the view resampled onto the reference's grid, kfViewOnGrid, and a mask
// of the reference's flat regions, kfFlatRegionMask, keep edges out).
// Throws BadParams for sizes that differ, and BadImages when the samples
// do not determine all twelve coefficients (fewer than the coefficients,
// or colours that do not span the three planes, such as a grey target).
kcColorCorrection kfComputeColorCorrection(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                                           const kcPelBuffer_const<unsigned char>& mask,
                                           kcColorCorrection::Domain domain);

// Leave-one-out fits: element i is the correction fitted, as above, on the
// samples of every region but regions[i], so that region i can judge a
// correction that never saw it. The regions are masks of the view's size
// that do not overlap. The samples are summed once per region, and each
// fit solves the sums of all regions less those of the one left out.
// Throws BadParams for sizes that differ, and BadImages, naming the region,
// when the samples left without one region do not determine a correction.
std::vector<kcColorCorrection> kfComputeColorCorrectionsLeavingOneOut(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain);

// 255 where every plane of the image varies by at most tolerance levels
// over the (2 radius + 1) square around the pel, all of which lies in the
// image; 0 elsewhere.
kcPelBuffer<unsigned char> kfFlatRegionMask(const kc3PlanePelBuffer& image, long radius = 3, int tolerance = 8);

// The whole correction of a calibration: with a colour correction, that
// correction alone, in place of the result's pel maps (it is fitted to the
// uncorrected view and does all their work and more; pel maps first would
// clip what the correction still needs); without one, the pel maps.
kc3PlanePelBuffer kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                                 const kc3PlanePelBuffer& image);
// The same into out: the image itself (corrected in place), pels apart
// from it, or unbound to get new pels (kcColorCorrection::apply's rules).
// An application correcting every frame of a stream passes the same out
// each time and so allocates nothing.
void kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                    const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out);
// The same for interleaved pels, as most image libraries hold them.
void kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                    const kcInterleavedPels<const unsigned char>& image, const kcInterleavedPels<unsigned char>& out);
// The same for one colour, planes on 0..1, neither rounded to levels nor
// clamped (kcColorCorrection::apply): the pel maps' levels are
// interpolated between their entries.
std::array<double, 3> kfCorrectColour(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                                      const std::array<double, 3>& colour);
