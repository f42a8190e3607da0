// The colour stage of colc calibrate: after the settings search, whether a
// cross-plane colour correction (kfComputeColorCorrection) reproduces the
// reference's colours better than the pel maps alone, judged on flat
// regions it was not fitted on, and the colour error before and after.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>

#include "colc/records/color_correction.h"
#include "colc/records/result.h"
#include "colc/tool/view_difference.h"
#include "colour_error.h"

struct ColourStage {
  // The correction adopted; none when on held-out regions it did not lower
  // the mean colour error (or by little, while raising the worst region
  // above the pel maps' worst), could not be fitted, or was not wanted.
  std::optional<kcColorCorrection> correction;
  // Held-out mean CIEDE2000 of the correction fitted in each domain
  // (encoded, linear); unset where it could not be fitted.
  std::array<std::optional<double>, 2> heldOut;
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

// Fits the correction in each domain on every other region and measures it
// on the others, and the other way round; of the domains whose mean error
// over all regions so held out is below the pel maps' own, adopts the one
// with the lowest, refitted on all regions, unless that refit lowers the
// mean by less than 40 % while its worst region is worse than the pel maps'.
std::optional<kcColorCorrection> chooseColorCorrection(const kcViewOnGrid& calibrated,
                                                       const FlatRegions& regions, const ColourError& pelMaps,
                                                       std::array<std::optional<double>, 2>& heldOut);

// {"domain": "encoded" or "linear", "coefficients": three rows of four}, or null.
nlohmann::ordered_json colorCorrectionJson(const std::optional<kcColorCorrection>& correction);
