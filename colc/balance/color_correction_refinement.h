// The colour correction refined for the error people see. The least-squares
// fit (kfComputeColorCorrection) minimises squared level differences over
// pels, so large regions weigh more than small ones and a level in a dark
// colour counts as much as one in a light colour, where people see it
// differently. The refinement starts from that fit and moves its twelve
// coefficients to lower the mean colour difference (such as CIEDE2000)
// over the flat regions, each region's mean colour counted once.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "colc/host/imaging.h"
#include "colc/records/color_correction.h"

// A region's colours as the refinement weighs them: its mean over the
// samples whose view planes are all unclipped (the least-squares fit's
// samples), the view's in the correction's domain on 0..1, the
// reference's as encoded levels on 0..255.
struct kcRegionColours {
  std::array<double, 3> view{};
  std::array<double, 3> reference{};
};

// The difference of two encoded colours given on 0..255 (seen, meant).
// The refinement follows its slope, so it should be smooth.
using kcColourDifference =
    std::function<double(const std::array<double, 3>& seen, const std::array<double, 3>& meant)>;

// Each region's colours, in the regions' order; unset for a region whose
// samples are mostly clipped in the view, as its colour there says little
// of the light. The regions are masks of the view's size. Throws BadParams
// for sizes that differ.
std::vector<std::optional<kcRegionColours>> kfRegionColours(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain);

// The mean difference over the regions between each region's view colour
// through the correction, clamped to 0..1 as corrected images are, and its
// reference colour; 0 without regions.
double kfMeanColourDifference(const kcColorCorrection& correction, const std::vector<kcRegionColours>& regions,
                              const kcColourDifference& difference);

// The correction of least mean difference near start (in start's domain),
// by Levenberg-Marquardt steps that each lower the mean: never a higher
// mean than start's. Start from the least-squares fit over the same regions.
kcColorCorrection kfRefineColorCorrection(const kcColorCorrection& start, const std::vector<kcRegionColours>& regions,
                                          const kcColourDifference& difference);

// kfComputeColorCorrectionsLeavingOneOut, each fit refined on the colours
// of the regions it was fitted on, so that region i still judges a
// correction that never saw it. Throws as that function does.
std::vector<kcColorCorrection> kfComputeRefinedColorCorrectionsLeavingOneOut(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain,
    const kcColourDifference& difference);
