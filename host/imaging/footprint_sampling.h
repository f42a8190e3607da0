// Resampling of an 8-bit plane onto a coarser affine grid, in which every
// sample stands for the area around it rather than for one point.
//
// A point sample of a grid much coarser than the pels lands on either side
// of an edge depending on the sub-pel phase of the grid, so two views of
// one scene (a reference and a camera's view of its print) sampled on the
// same grid disagree at every edge. Here each sample is the mean over a
// Gaussian footprint whose width follows the sample spacing: a smooth,
// nearly round kernel, so the extra blur of a camera's optics hardly
// changes it, and neither does the grid's phase or turn. The mean is taken
// of light, not of encoded values: pels are taken as sRGB-encoded, as a
// camera's optics and sensor blend light before encoding it.
#pragma once

#include <opencv2/core.hpp>

#include "host/imaging/vector_width.h"

// size.width x size.height samples of plane (2-D CV_8UC1); sample (i, j)
// is centred at dstToSrc * (i, j, 1) in plane's matrix coordinates (pel
// centres at integers). Only plane's pels are read; footprints reaching
// beyond them read the nearest edge pel. The samples are the same in
// vectors of any width.
cv::Mat kfFootprintSamples(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size,
                           kcVectorWidth width = kfWidestVectors());

// The same samples' mean light before it is encoded (CV_32F), the same to
// the bit in vectors of any width.
cv::Mat kfFootprintLight(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size,
                         kcVectorWidth width = kfWidestVectors());
