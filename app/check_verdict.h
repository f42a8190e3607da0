// Whether a camera still reproduces its calibration: the colour error
// through the stored correction now against the one it had when
// calibrated.
#pragma once

enum class CheckVerdict { stillCalibrated, drifted, recalibrate };

// A rise of the mean CIEDE2000 below this is within what people barely
// notice: still calibrated.
constexpr double kNoticeableDrift = 1.0;
// From this rise on, a difference seen at a glance, the stored calibration
// no longer serves: recalibrate. Light a fifth dimmer raises the simulated
// camera's error by about 4: drifted, to be watched.
constexpr double kRecalibrationDrift = 5.0;

CheckVerdict judgeCheck(double calibratedMean, double nowMean);

// "still calibrated", "drifted", "recalibrate".
const char* verdictName(CheckVerdict verdict);
