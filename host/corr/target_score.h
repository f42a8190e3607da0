// How well a pose explains a view of the reference: the view is sampled
// through the pose onto a grid over the reference, with area-weighted
// footprints about a view pel wide, and both are compared in linear light,
// band-passed, so that only the target's edges count, wherever a camera's
// colour response puts the levels between them.
#pragma once

#include <opencv2/core.hpp>

// The normalised correlation (-1 to 1) of the band-passed reference with
// the band-passed view sampled through pose (reference matrix coordinates
// -> view matrix coordinates), over the part of the target in view;
// reference and view are 2-D CV_8UC1. -1 when too little of it is in view.
double kfTargetScore(const cv::Mat& reference, const cv::Mat& view, const cv::Matx33d& pose);
