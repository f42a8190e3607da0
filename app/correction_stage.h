// The colour stage of colc calibrate: after the settings search, whether a
// cross-plane colour correction (kfComputeColorCorrection) reproduces the
// reference's colours better than the pel maps alone, judged region by
// region through fits that did not see the region, and the colour error
// before and after.
#pragma once

#include <optional>
#include <string>

#include "colc/records/color_correction.h"
#include "colc/records/result.h"
#include "colc/tool/view_difference.h"
#include "app/colour_error.h"

// How the choice between the pel maps and the correction fell.
enum class CorrectionOutcome {
  notTried,          // not wanted, too few regions, or no correction they determine
  adopted,           // the correction: the lower held-out mean, and it passed the guard
  noLower,           // the pel maps: the correction's held-out mean is not below theirs
  worseWorstRegion,  // the pel maps: the correction wins by little, and its worst region is worse
};

// What the choice went by: the error of each way to correct the camera's
// images on colours it was not fitted to, every flat region measured
// through pel maps, or a colour correction, fitted on the view without
// that region (leave-one-region-out). Unset where not measured.
struct CorrectionChoice {
  std::optional<ColourError> heldOutPelMaps;
  // The correction in the domain whose held-out mean is the lower.
  std::optional<ColourError> heldOutCorrection;
  kcColorCorrection::Domain domain = kcColorCorrection::Domain::encoded;
  CorrectionOutcome outcome = CorrectionOutcome::notTried;
};

struct ColourStage {
  // The correction adopted (see chooseColorCorrection); none when it did
  // not win or was not wanted.
  std::optional<kcColorCorrection> correction;
  CorrectionChoice choice;
  // Mean and max CIEDE2000 over the reference's flat regions: at the start
  // settings, at the calibrated settings through the pel maps, and through
  // the whole correction (the pel maps' again when there is no correction).
  ColourError start, pelMaps, corrected;
  // The regions the calibrated camera image lost to clipping.
  ClippedRegions clipped;
  // The error of the corrected view, region by region (colourErrorPicture).
  kc3PlanePelBuffer errorPicture;
};

// start and calibrated: the views at the start and calibrated settings on
// the reference's grid; calibratedPels: the calibrated camera image's pels
// nearest to the grid's points, for what it clipped. With fitCorrection
// false no correction is tried.
ColourStage runColourStage(const kcViewOnGrid& start, const kcViewOnGrid& calibrated,
                           const kc3PlanePelBuffer& calibratedPels, const kcColorCalibrationResult& result,
                           bool fitCorrection);

// Measures the held-out error of the pel maps and of the correction in
// each domain, and adopts the correction, in the domain of the lower
// held-out mean and refitted on all regions, when its held-out mean is
// below the pel maps' and, unless it lowers the error of the pel maps
// (pelMaps, through the calibration's own) by a clear share, its worst
// region is no worse than theirs (correction_stage.cpp). choice receives
// the figures it went by and how it fell.
std::optional<kcColorCorrection> chooseColorCorrection(const kcViewOnGrid& calibrated, const FlatRegions& regions,
                                                       const ColourError& pelMaps, CorrectionChoice& choice);

// One sentence for people: what corrects the images, and why.
std::string correctionChoiceText(CorrectionOutcome outcome);

// "encoded" or "linear".
const char* domainName(kcColorCorrection::Domain domain);
