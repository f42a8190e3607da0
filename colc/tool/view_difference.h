// How closely a camera's view of the calibration target matches the
// calibration image: the measure by which an application can see what a
// calibration achieved.
#pragma once

#include <array>

#include "colc/host/imaging.h"
#include "colc/records/result.h"
#include "colc/tool/pose.h"

// A camera's view and the calibration image on one grid, sample for sample.
struct kcViewOnGrid {
  kc3PlanePelBuffer view;       // the acquired image, resampled
  kc3PlanePelBuffer reference;  // the calibration image, resampled
};

// Finds the calibration image in acquired and resamples both onto the
// calibration image's grid. Throws BadImages("No pattern found") when the
// target is not in view.
kcViewOnGrid kfViewOnGrid(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage);
// The same with a pose already found in an earlier view of the same scene.
kcViewOnGrid kfViewOnGrid(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose);

// The mean absolute difference per plane between the view and the
// reference; with a result, the view is first corrected through its pel maps.
std::array<double, 3> kfViewDifference(const kcViewOnGrid& grid, const kcColorCalibrationResult* correction = nullptr);

// The same of an acquired image: kfViewOnGrid, then the difference.
std::array<double, 3> kfViewDifference(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                                       const kcColorCalibrationResult* correction = nullptr);
