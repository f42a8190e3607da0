#include "patch_reading.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

#include "host/imaging/cv_bridge.h"

namespace {

// Whether p lies inside the convex quadrilateral (or on its edge), in
// either winding.
bool inside(const Quad& quad, cv::Point2d p) {
  bool left = false, right = false;
  for (std::size_t i = 0; i < quad.size(); ++i) {
    const cv::Point2d a = quad[i], b = quad[(i + 1) % quad.size()];
    const double side = (b - a).cross(p - a);
    left |= side > 0.0;
    right |= side < 0.0;
  }
  return !(left && right);
}

}  // namespace

PatchReading readPatch(const cv::Mat& rgb, const Quad& quad) {
  double xMin = rgb.cols, yMin = rgb.rows, xMax = 0.0, yMax = 0.0;
  for (const cv::Point2d& p : quad) {
    xMin = std::min(xMin, p.x), xMax = std::max(xMax, p.x);
    yMin = std::min(yMin, p.y), yMax = std::max(yMax, p.y);
  }
  std::array<double, 3> sum{};
  long count = 0, clipped = 0;
  for (int y = std::max(0, static_cast<int>(yMin)); y < std::min(rgb.rows, static_cast<int>(yMax) + 1); ++y)
    for (int x = std::max(0, static_cast<int>(xMin)); x < std::min(rgb.cols, static_cast<int>(xMax) + 1); ++x) {
      // A pel (x, y) covers [x, x + 1) x [y, y + 1): its centre is half a pel in.
      if (!inside(quad, {x + 0.5, y + 0.5})) continue;
      const cv::Vec3b pel = rgb.at<cv::Vec3b>(y, x);
      bool atLimit = false;
      for (int k = 0; k < 3; ++k) {
        sum[k] += pel[k];
        atLimit |= pel[k] == 0 || pel[k] == 255;
      }
      ++count;
      clipped += atLimit;
    }
  if (count == 0) throw std::invalid_argument("patch reading: no pel centre inside the patch");
  const double n = static_cast<double>(count);
  return {{sum[0] / n, sum[1] / n, sum[2] / n}, static_cast<double>(clipped) / n};
}

cv::Mat rgbMat(const kc3PlanePelBuffer& image) {
  cv::Mat rgb;
  cv::cvtColor(kfBGRMat(image), rgb, cv::COLOR_BGR2RGB);
  return rgb;
}
