#include "colc/tool/exposure_grid.h"

double kfAdmissibleExposure(const kcColorCalibrationParams& params, double e) {
  const kcRange range = params.exposureRange();
  if (!(e >= range.start())) e = range.start();
  if (e > range.end()) e = range.end();
  const double step = params.minExposureStepSize();
  // The quotient is rounded in single precision, as the camera's own grid is.
  if (step != 0.0) e = static_cast<double>(iRound(static_cast<float>(e / step))) * step;
  return e;
}
