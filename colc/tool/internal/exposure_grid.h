// The exposures a search may try under its parameters.
#pragma once

#include "colc/records/params.h"

// e clamped to the parameters' exposure range (a value that is not at
// least its start, NaN included, becomes the start), then put on the grid
// of minExposureStepSize when that is not 0. The grid comes after the
// clamp, so a grid value may lie just outside the range.
double kfAdmissibleExposure(const kcColorCalibrationParams& params, double e);
