// How closely a camera's view of the calibration target matches the
// calibration image: the measure by which an application can see what a
// calibration achieved.
#pragma once

#include <array>

#include "colc/host/imaging.h"
#include "colc/records/result.h"

// Finds the calibration image in acquired, resamples the view onto the
// calibration image's grid and returns the mean absolute difference per
// plane. With a result, the view is first corrected through its pel maps.
// Throws BadImages("No pattern found") when the target is not in view.
std::array<double, 3> kfViewDifference(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                                       const kcColorCalibrationResult* correction = nullptr);
