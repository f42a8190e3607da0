#include "colc/tool/internal/exposure_grid.h"

double kfAdmissibleExposure(const kcColorCalibrationParams& params, double e) {
  const kcRange range = params.exposureRange();
  if (!(e >= range.start())) e = range.start();
  if (e > range.end()) e = range.end();
  const double step = params.minExposureStepSize();
  // The ratio to the step is rounded in single precision on purpose: that is
  // how the search has always chosen its grid point, and rounding in double
  // would pick the other neighbour for ratios within a float's precision of
  // a half, which changes the search's path and its result.
  if (step != 0.0) e = static_cast<double>(iRound(static_cast<float>(e / step))) * step;
  return e;
}
