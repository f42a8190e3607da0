// The poses a sweep calibrates at: random poses within the zones the pose
// finding covers, with the whole chart on the sensor, and the pel-aligned
// pose as a reference.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "host/acq/sim/sim_camera.h"

// count poses, each drawn uniformly: rotation in +-20 degrees, scale in
// 0.8 .. 1.2, then the centre (at sub-pel positions) among those that keep
// every chart corner at least 8 pels inside the sensor. The same seed gives
// the same poses. std::invalid_argument when the chart cannot fit at all.
std::vector<kcSimPose> drawPoses(int count, unsigned long seed, cv::Size sensor, cv::Size chart);

// Rotation 0, scale 1 and the chart's pels on the sensor's, centred.
kcSimPose alignedPose(cv::Size sensor, cv::Size chart);
