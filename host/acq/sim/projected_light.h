// The light on the simulated sensor's pels when the target is seen through
// more than a similarity: tilted, or through a lens with distortion. Its
// scale then varies across the view, so the density of the samples each
// pel averages follows the smallest scale the view shows (steps 1 and 2 of
// sensor_model.h, before the lens's blur).
#pragma once

#include <opencv2/core.hpp>

#include "host/acq/sim/target_projection.h"

// targetLinear: the target in linear light, CV_32FC3. The result is
// CV_32FC3 of the sensor's size: each pel the mean of the light over its
// area (integrate) or the light at its centre, the background where the
// target is not.
cv::Mat kfProjectedLight(const cv::Mat& targetLinear, const kcSimProjection& projection, cv::Size sensor,
                         bool integrate);

// The target as samples lying 1 / factor target pels apart see it: first
// averaged over areas to factor times its size where factor is below 1, so
// that no target pel falls between them and fine structure does not alias;
// the target itself otherwise.
cv::Mat kfTargetForSampling(const cv::Mat& targetLinear, double factor);
