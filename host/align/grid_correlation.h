// The normalised correlation of a pattern with an image at every placement,
// as cv::matchTemplate's TM_CCOEFF_NORMED defines it, computed directly:
// the products of pels summed in integers (16-bit multiply-adds in vectors),
// the image's sums over each placement kept running from placement to
// placement, in integers too. For the small
// patterns of the pattern search's coarse grid this takes a third to a half
// of matchTemplate's time, which transforms both images; and its scores are
// exact but for the final division, so they are the same at every vector
// width (matchTemplate's differ from them by up to about 1e-4).
#pragma once

#include <opencv2/core.hpp>

#include "host/imaging/vector_width.h"

// image and pattern are CV_8UC1, the pattern no larger than the image. The
// result is CV_32F, (image - pattern + 1) in size: pel (x, y) the
// correlation with the pattern's top-left pel on the image's pel (x, y),
// 0 where the image or the pattern is flat.
cv::Mat kfPatternCorrelations(const cv::Mat& image, const cv::Mat& pattern, kcVectorWidth width = kfWidestVectors());
