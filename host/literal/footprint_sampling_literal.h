// The literal form of footprint sampling's light (kfFootprintLight in
// host/imaging/footprint_sampling.h), kept as the oracle of the fast one:
// the reached pels decoded whole by cv::LUT, halved by cv::pyrDown as often
// as the plan says, and each sample weighed out one product at a time, in
// the order in which the fast form's vectors add them.
#pragma once

#include <opencv2/core.hpp>

cv::Mat kfFootprintLightLiteral(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size);
