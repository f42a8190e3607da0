// How two measurements of camera settings compare: the order by which
// every search keeps its best settings.
#pragma once

#include "colc/tool/measurement.h"

// The score of a measurement's fits: the sum of their RMS errors per unit
// of their summed active share, the share floored at 0.1 so that fits over
// almost no pels do not win by it. Lower is better.
double kfFitScore(const kcColorCalibrationResultInternal& fits);

// Whether candidate is better than best. Without pel mapping (as best was
// measured) by the difference sum alone, strictly lower winning; with it,
// a best without fits loses to anything, a candidate without fits never
// wins, and otherwise the strictly lower kfFitScore wins.
bool kfIsBetterMeasurement(const kcColorCalibrationMeasurement& best, const kcColorCalibrationMeasurement& candidate);
