#include "host/imaging/plane_pose.h"

#include <cmath>

cv::Matx22d kfJacobianAt(const cv::Matx33d& h, const cv::Point2d& p) {
  const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
  const cv::Point2d x = kfMapped(h, p);
  return cv::Matx22d(h(0, 0) - x.x * h(2, 0), h(0, 1) - x.x * h(2, 1), h(1, 0) - x.y * h(2, 0),
                     h(1, 1) - x.y * h(2, 1)) *
         (1.0 / w);
}

cv::Matx33d kfBetweenLevels(const cv::Matx33d& h, int fromLevel, int toLevel) {
  const double up = std::ldexp(1.0, fromLevel), down = std::ldexp(1.0, -toLevel);
  return cv::Matx33d(down, 0.0, 0.0, 0.0, down, 0.0, 0.0, 0.0, 1.0) * h *
         cv::Matx33d(up, 0.0, 0.0, 0.0, up, 0.0, 0.0, 0.0, 1.0);
}

std::array<cv::Point2d, 4> kfMappedCorners(const cv::Matx33d& h, cv::Size size) {
  const double r = size.width - 0.5, b = size.height - 0.5;
  return {kfMapped(h, {-0.5, -0.5}), kfMapped(h, {r, -0.5}), kfMapped(h, {r, b}), kfMapped(h, {-0.5, b})};
}

cv::Matx33d kfNormalised(const cv::Matx33d& h) { return h * (1.0 / h(2, 2)); }

cv::Matx33d kfToCv(const kcHomography& h) {
  const std::array<double, 9>& e = h.elements();
  return {e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8]};
}

kcHomography kfFromCv(const cv::Matx33d& h) {
  return kcHomography({h(0, 0), h(0, 1), h(0, 2), h(1, 0), h(1, 1), h(1, 2), h(2, 0), h(2, 1), h(2, 2)});
}
