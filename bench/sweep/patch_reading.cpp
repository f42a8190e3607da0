#include "patch_reading.h"

#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <vector>

namespace {

// Sub-pel vertices for the polygon filler, in fractional bits.
constexpr int kShift = 8;

// The pels whose centres lie inside: OpenCV puts a pel's centre at integer
// coordinates, our image coordinates at the half-integers.
cv::Mat insideMask(cv::Size size, const Quad& quad) {
  std::vector<cv::Point> vertices;
  for (const cv::Point2d& p : quad)
    vertices.emplace_back(cvRound((p.x - 0.5) * (1 << kShift)), cvRound((p.y - 0.5) * (1 << kShift)));
  cv::Mat mask = cv::Mat::zeros(size, CV_8U);
  cv::fillConvexPoly(mask, vertices, 255, cv::LINE_8, kShift);
  return mask;
}

}  // namespace

PatchReading readPatch(const cv::Mat& rgb, const Quad& quad) {
  const cv::Mat mask = insideMask(rgb.size(), quad);
  const int count = cv::countNonZero(mask);
  if (count == 0) throw std::invalid_argument("patch reading: no pel centre inside the patch");

  PatchReading reading;
  const cv::Scalar mean = cv::mean(rgb, mask);
  reading.mean = {mean[0], mean[1], mean[2]};
  cv::Mat inRange;
  cv::inRange(rgb, cv::Scalar::all(1), cv::Scalar::all(254), inRange);  // all three planes unclipped
  const int unclipped = cv::countNonZero(inRange & mask);
  reading.clippedShare = static_cast<double>(count - unclipped) / count;
  return reading;
}
