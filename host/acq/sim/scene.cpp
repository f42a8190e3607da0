#include "host/acq/sim/scene.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <string>

#include "host/acq/sim/sensor_model.h"
#include "host/imaging/cv_bridge.h"

namespace {

using namespace kcSimModel;

// The target in linear light, channels in OpenCV's blue, green, red order.
cv::Mat decodeSrgb(const kc3PlanePelBuffer& image) {
  if (!image.isBound()) throw kcBadPointer("unbound target image");
  cv::Mat table(1, 256, CV_32F);
  for (int i = 0; i < 256; ++i) table.at<float>(i) = static_cast<float>(srgbDecode(i / 255.0));
  cv::Mat linear;
  cv::LUT(kfBGRMat(image), table, linear);
  return linear;
}

// Row k: plane k's response to the blue, green and red light (step 2).
cv::Matx33f responseMatrix(double crossTalk) {
  cv::Matx33f m;
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j)
      m(k, 2 - j) = static_cast<float>(kSensitivity[k] * (k == j ? 1.0 - crossTalk : crossTalk / 2));
  return m;
}

const kcSimPose& checked(const kcSimPose& p) {
  if (!(std::isfinite(p.x.value_or(0.0)) && std::isfinite(p.y.value_or(0.0)) && std::isfinite(p.rotation)))
    throw kcBadArgument("simulated camera: target position or rotation not finite");
  if (!(std::isfinite(p.scale) && p.scale > 0.0))
    throw kcBadArgument("simulated camera: scale " + std::to_string(p.scale) + " not above 0");
  return p;
}

}  // namespace

kcSimScene::kcSimScene(const kc3PlanePelBuffer& target, const kcSimPose& pose, int width, int height, double crossTalk)
    : targetLinear_(decodeSrgb(target)),
      pose_(checked(pose)),
      width_(width),
      height_(height),
      response_(responseMatrix(crossTalk)) {}

void kcSimScene::target(const kc3PlanePelBuffer& target) {
  targetLinear_ = decodeSrgb(target);
  levels_.release();
}

void kcSimScene::pose(const kcSimPose& pose) {
  pose_ = checked(pose);
  levels_.release();
}

const cv::Mat& kcSimScene::levels() {
  if (levels_.empty()) levels_ = render();
  return levels_;
}

// OpenCV puts pel centres at integer coordinates, our image coordinates at
// half-integers: a pel (x, y) covers [x, x + 1) x [y, y + 1).
cv::Mat kcSimScene::render() const {
  const double s = pose_.scale;
  cv::Mat source = targetLinear_;
  // Shrinking: average areas first, so that fine structure does not alias;
  // the warp below then only turns and places the target.
  if (s < 1.0) {
    const cv::Size size(std::max(1, cvRound(targetLinear_.cols * s)), std::max(1, cvRound(targetLinear_.rows * s)));
    cv::resize(targetLinear_, source, size, 0.0, 0.0, cv::INTER_AREA);
  }
  const double fx = static_cast<double>(source.cols) / targetLinear_.cols;
  const double fy = static_cast<double>(source.rows) / targetLinear_.rows;

  // Sensor point = centre + s R (target point - target centre), with the
  // target point of a source pel (u, v) at ((u + 0.5) / fx, (v + 0.5) / fy).
  const double cx = pose_.x.value_or(width_ / 2.0), cy = pose_.y.value_or(height_ / 2.0);
  const double a = pose_.rotation * CV_PI / 180.0;
  const double c = s * std::cos(a), sn = s * std::sin(a);
  // Counter-clockwise as displayed, with y pointing down.
  const cv::Matx22d rs(c, sn, -sn, c);
  const cv::Matx22d linear(rs(0, 0) / fx, rs(0, 1) / fy, rs(1, 0) / fx, rs(1, 1) / fy);
  const cv::Vec2d targetCentre(targetLinear_.cols / 2.0, targetLinear_.rows / 2.0);
  const cv::Vec2d halfSource(0.5 / fx, 0.5 / fy);
  const cv::Vec2d shift = cv::Vec2d(cx - 0.5, cy - 0.5) + rs * (halfSource - targetCentre);
  const cv::Matx23d warp(linear(0, 0), linear(0, 1), shift[0], linear(1, 0), linear(1, 1), shift[1]);

  cv::Mat light;
  const cv::Scalar background = cv::Scalar::all(kBackground);
  cv::warpAffine(source, light, warp, cv::Size(width_, height_), cv::INTER_LINEAR, cv::BORDER_CONSTANT, background);

  // One plane at a time through one scratch image: fresh memory is slow to
  // come by on some systems, and this keeps it to the light and the levels.
  cv::Mat levels(3 * height_, width_, CV_16U), response;
  for (int k = 0; k < 3; ++k) {
    cv::transform(light, response, response_.row(k));
    response.convertTo(levels.rowRange(k * height_, (k + 1) * height_), CV_16U, 65535.0);
  }
  return levels;
}
