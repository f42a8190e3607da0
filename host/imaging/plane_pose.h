// The geometry of a plane's pose as a homography between two images'
// matrix coordinates (pel centres at integers): where it maps a point, its
// local linear part, and its form between pyramid levels.
#pragma once

#include <array>
#include <opencv2/core.hpp>

#include "colc/host/perspective.h"

inline cv::Point2d kfMapped(const cv::Matx33d& h, const cv::Point2d& p) {
  const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
  return {(h(0, 0) * p.x + h(0, 1) * p.y + h(0, 2)) / w, (h(1, 0) * p.x + h(1, 1) * p.y + h(1, 2)) / w};
}

// The derivative of the mapping at p.
cv::Matx22d kfJacobianAt(const cv::Matx33d& h, const cv::Point2d& p);

// The homography between levels fromLevel of the source's cv::pyrDown
// pyramid and toLevel of the target's, from the one between their level 0s
// (pel i of level l sits at 2^l i of level 0).
cv::Matx33d kfBetweenLevels(const cv::Matx33d& h, int fromLevel, int toLevel);

// The corners of a width x height image (its pels' outer edges) through h.
std::array<cv::Point2d, 4> kfMappedCorners(const cv::Matx33d& h, cv::Size size);

// h scaled so that h(2, 2) is 1 (a homography is defined up to a factor).
cv::Matx33d kfNormalised(const cv::Matx33d& h);

cv::Matx33d kfToCv(const kcHomography& h);
kcHomography kfFromCv(const cv::Matx33d& h);
