// Normalised correlation of one pattern level with an image at chosen
// poses: the image is warped into the pattern's frame around the pose and
// correlated over a few pels of translation there.
#pragma once

#include <opencv2/core.hpp>

// The vertex of the parabola through (-1, a), (0, b), (1, c), for b the
// largest of the three: an offset in [-0.5, 0.5].
inline double alignParabolaPeak(double a, double b, double c) {
  const double curvature = a - 2.0 * b + c;
  return curvature < 0.0 ? 0.5 * (a - c) / curvature : 0.0;
}

class PoseProbe {
 public:
  struct Result {
    double score = -1.0;
    cv::Point2d centre;  // where the best translation puts the pattern's centre in the image (sub-pel)
  };

  PoseProbe() = default;
  // Correlates the pattern without edge pels on each side. centre is a
  // point of the (whole) pattern in its matrix coordinates.
  PoseProbe(const cv::Mat& pattern, int edge, const cv::Point2d& centre);

  // The pose maps pattern matrix coordinates u to image matrix coordinates
  // linear * (u - centre) + at; translations of up to margin pels in the
  // pattern's frame are tried. A window without contrast scores 0.
  Result probe(const cv::Mat& image, const cv::Matx22d& linear, const cv::Point2d& at, int margin) const;

 private:
  cv::Mat zeroMean_;  // CV_32F
  double norm_ = 0.0;
  cv::Point2d centre_;  // in the cropped pattern's matrix coordinates
};
