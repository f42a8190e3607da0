#include "colc/tool/internal/measurement_order.h"

namespace {

constexpr double kProportionFloor = 0.1;

}  // namespace

double kfFitScore(const kcColorCalibrationResultInternal& fits) {
  double rms = 0.0;
  double active = 0.0;
  for (const auto& fit : fits.results()) rms += fit.rmsError();
  for (const auto& fit : fits.results()) active += fit.proportionActivePels();
  return rms / (active > kProportionFloor ? active : kProportionFloor);
}

bool kfIsBetterMeasurement(const kcColorCalibrationMeasurement& best, const kcColorCalibrationMeasurement& candidate) {
  if (!best.pelMappingUsed) return candidate.differenceSum < best.differenceSum;
  if (best.results.results().empty()) return true;
  if (candidate.results.results().empty()) return false;
  return kfFitScore(best.results) > kfFitScore(candidate.results);
}
