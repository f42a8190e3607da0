// The poses a sweep calibrates at: random poses within zones (by default
// those the pose finding covers), with the whole chart on the sensor, and
// the pel-aligned pose as a reference.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "host/acq/sim/sim_camera.h"

// What the poses are drawn from. The defaults are the zones the pose
// finding covers: no tilt, no quarter turns.
struct PoseZones {
  double maxRotation = 20.0;  // degrees either way
  double minScale = 0.8;
  double maxScale = 1.2;
  // Degrees: the chart turned out of the sensor's plane by up to this,
  // about an axis in any direction (0: square to the camera).
  double maxTilt = 0.0;
  // The chart also turned by 0, 90, 180 or 270 degrees, as a chart hung
  // upright or upside down would be.
  bool quarterTurns = false;
};

// count poses, each drawn uniformly: rotation within the zones' turn,
// scale within their scales, then (when the zones tilt) the tilt and the
// direction of its axis, then (with quarter turns) a quarter turn added to
// the rotation, then the centre (at sub-pel positions) among those that
// keep every chart corner at least 8 pels inside the sensor. A turn, scale
// and tilt without room for the chart anywhere are drawn again. The same
// seed and zones give the same poses. std::invalid_argument when the
// chart cannot fit at all, or not even square to the sensor at the
// largest scale (the top of the scales would never be drawn).
std::vector<kcSimPose> drawPoses(int count, unsigned long seed, cv::Size sensor, cv::Size chart,
                                 const PoseZones& zones = {});

// Rotation 0, scale 1 and the chart's pels on the sensor's, centred.
kcSimPose alignedPose(cv::Size sensor, cv::Size chart);
