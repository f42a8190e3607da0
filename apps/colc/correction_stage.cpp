#include "correction_stage.h"

#include "colc/balance/color_correction_fit.h"
#include "colc/records/errors.h"

namespace {

constexpr kcColorCorrection::Domain kDomains[2] = {kcColorCorrection::Domain::encoded,
                                                   kcColorCorrection::Domain::linear};

// The mean error of every region under the correction fitted on the
// regions of the other parity; unset when a fit fails.
std::optional<double> heldOutError(const kcViewOnGrid& grid, const FlatRegions& regions,
                                   kcColorCorrection::Domain domain) {
  double sum = 0.0;
  for (int fold = 0; fold < 2; ++fold) {
    const auto fitted = [fold](int i) { return i % 2 == fold; };
    try {
      const kcColorCorrection correction =
          kfComputeColorCorrection(grid.view, grid.reference, regions.mask(fitted), domain);
      const ColourError error = colourError(correction.apply(grid.view), grid.reference, regions,
                                            [&](int i) { return !fitted(i); });
      for (int i = 0; i < regions.count(); ++i)
        if (!fitted(i)) sum += error.perRegion[static_cast<std::size_t>(i)];
    } catch (const kcColorCalibrationDefs::BadImages&) {
      return std::nullopt;
    }
  }
  return sum / regions.count();
}

// A correction worth adopting lowers the mean error on regions it was not
// fitted to. Without cross-talk the pel maps are often about as good, and a
// correction that wins on the mean by a few hundredths can still move one
// colour further off than any was; so unless, fitted on all regions, it
// takes at least this share off the pel maps' mean, its worst region must
// also be no worse than the pel maps' worst. With cross-talk the linear
// correction halves the error or better, and a worse single colour is
// worth that. (The held-out mean, which decides whether the correction
// holds beyond the regions it was fitted to, is too pessimistic to tell a
// clear win: each half is fitted on half the colours.)
constexpr double kClearWin = 0.4;

bool worthAdopting(double heldOut, const ColourError& fitted, const ColourError& pelMaps) {
  if (heldOut >= pelMaps.mean) return false;
  return fitted.mean <= (1.0 - kClearWin) * pelMaps.mean || fitted.max <= pelMaps.max;
}

}  // namespace

std::optional<kcColorCorrection> chooseColorCorrection(const kcViewOnGrid& calibrated,
                                                       const FlatRegions& regions, const ColourError& pelMaps,
                                                       std::array<std::optional<double>, 2>& heldOut) {
  // Each half needs regions enough to span the colours it is fitted to.
  if (regions.count() < 8) return std::nullopt;
  std::optional<kcColorCorrection> best;
  std::optional<double> bestHeldOut;
  for (std::size_t d = 0; d < 2; ++d) {
    heldOut[d] = heldOutError(calibrated, regions, kDomains[d]);
    if (!heldOut[d] || (bestHeldOut && *heldOut[d] >= *bestHeldOut)) continue;
    const kcColorCorrection correction = kfComputeColorCorrection(
        calibrated.view, calibrated.reference, regions.mask([](int) { return true; }), kDomains[d]);
    const ColourError fitted = colourError(correction.apply(calibrated.view), calibrated.reference, regions);
    if (!worthAdopting(*heldOut[d], fitted, pelMaps)) continue;
    best = correction;
    bestHeldOut = heldOut[d];
  }
  return best;
}

ColourStage runColourStage(const kcViewOnGrid& start, const kcViewOnGrid& calibrated,
                           const kc3PlanePelBuffer& calibratedPels, const kcColorCalibrationResult& result,
                           bool fitCorrection) {
  const FlatRegions regions(calibrated.reference);
  ColourStage stage;
  stage.start = colourError(start.view, start.reference, regions);
  stage.pelMaps = colourError(result.pelMapImage(calibrated.view), calibrated.reference, regions);
  if (fitCorrection) stage.correction = chooseColorCorrection(calibrated, regions, stage.pelMaps, stage.heldOut);
  stage.corrected = stage.correction
                        ? colourError(stage.correction->apply(calibrated.view), calibrated.reference, regions)
                        : stage.pelMaps;
  stage.clipped = clippedRegions(calibratedPels, calibrated.reference, regions);
  stage.errorPicture = colourErrorPicture(calibrated.reference, regions, stage.corrected);
  return stage;
}

nlohmann::ordered_json colorCorrectionJson(const std::optional<kcColorCorrection>& correction) {
  if (!correction) return nullptr;
  return {{"domain", correction->domain() == kcColorCorrection::Domain::linear ? "linear" : "encoded"},
          {"coefficients", correction->coefficients()}};
}
