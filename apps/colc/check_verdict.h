// Whether a camera still reproduces its calibration: the colour error
// through the stored correction now against the one it had when
// calibrated.
#pragma once

#include <string>


enum class CheckVerdict { stillCalibrated, drifted, recalibrate };

// A rise of the mean CIEDE2000 below this is within what people barely
// notice: still calibrated.
constexpr double kNoticeableDrift = 1.0;
// From this rise on the stored correction no longer serves: recalibrate.
constexpr double kRecalibrationDrift = 3.0;

CheckVerdict judgeCheck(double calibratedMean, double nowMean);

// "still calibrated", "drifted", "recalibrate".
const char* verdictName(CheckVerdict verdict);
