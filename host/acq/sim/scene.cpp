#include "host/acq/sim/scene.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "host/acq/sim/projected_light.h"
#include "host/acq/sim/sensor_model.h"
#include "host/imaging/cv_bridge.h"

namespace {

using namespace kcSimModel;

// The target in linear light, channels in OpenCV's blue, green, red order.
cv::Mat decodeSrgb(const kc3PlanePelBuffer& image) {
  if (!image.isBound()) throw kcBadPointer("unbound target image");
  cv::Mat table(1, 256, CV_32F);
  for (int i = 0; i < 256; ++i) table.at<float>(i) = static_cast<float>(kfSrgbDecode(i / 255.0));
  cv::Mat linear;
  cv::LUT(kfBGRMat(image), table, linear);
  return linear;
}

// Row k: plane k's response to the blue, green and red light (step 3). No
// response exceeds 1, the 16-bit levels' top: the camera's own sensitivity
// scales the exposure (step 4) instead, so that a more sensitive camera
// does not clip the scene's light before the sensor sees it.
cv::Matx33f responseMatrix(double crossTalk) {
  cv::Matx33f m;
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j)
      m(k, 2 - j) = static_cast<float>(kSensitivity[k] * (k == j ? 1.0 - crossTalk : crossTalk / 2));
  return m;
}

// The configuration's pose, sensor size and lens, without its target.
kcSimCameraConfig viewOf(const kcSimCameraConfig& config) {
  kcSimCameraConfig view = config;
  view.target = kc3PlanePelBuffer();
  return view;
}

}  // namespace

kcSimScene::kcSimScene(const kc3PlanePelBuffer& target, const kcSimCameraConfig& config)
    : targetLinear_(decodeSrgb(target)),
      view_(viewOf(config)),
      projection_(view_, targetLinear_.cols, targetLinear_.rows),
      width_(static_cast<int>(config.width)),
      height_(static_cast<int>(config.height)),
      blur_(config.blur),
      integrate_(config.integrate),
      shading_(config.shading),
      response_(responseMatrix(config.crossTalk)),
      taps_(config.taps) {}

void kcSimScene::target(const kc3PlanePelBuffer& target) {
  const cv::Mat linear = decodeSrgb(target);
  projection_ = kcSimProjection(view_, linear.cols, linear.rows);
  targetLinear_ = linear;
  levels_.release();
}

void kcSimScene::pose(const kcSimPose& pose) {
  kcSimCameraConfig moved = view_;
  moved.pose = pose;
  projection_ = kcSimProjection(moved, targetLinear_.cols, targetLinear_.rows);
  view_ = moved;
  levels_.release();
}

const cv::Mat& kcSimScene::levels() {
  if (levels_.empty()) render();
  return levels_;
}

const kcSimFlatRuns& kcSimScene::flatRuns() {
  if (levels_.empty()) render();
  return flatRuns_;
}

cv::Mat kcSimScene::light() const {
  cv::Mat light = projection_.isSimilarity()
                      ? similarLight()
                      : kfProjectedLight(targetLinear_, projection_, {width_, height_}, integrate_);
  // The lens blurs before the pels integrate, but both are convolutions
  // and commute: blurring the pels' means costs n^2 times less than
  // blurring the samples. Its kernel then samples the Gaussian at whole
  // pels, which narrows a blur of 0.5 pel by less than a tenth.
  if (blur_ > 0.0) cv::GaussianBlur(light, light, cv::Size(), blur_, blur_, cv::BORDER_REPLICATE);
  if (shading_ > 0.0) shade(light);
  return light;
}

// OpenCV puts pel centres at integer coordinates, our image coordinates at
// half-integers: a pel (x, y) covers [x, x + 1) x [y, y + 1).
cv::Mat kcSimScene::similarLight() const {
  const kcSimPose& pose = view_.pose;
  // Integration samples the light at n x n points spread evenly over each
  // pel and takes their mean; point sampling takes the one at its centre.
  const int n = integrate_ ? kSupersampling : 1;
  const double s = pose.scale;
  // The warp below then only turns and places the target.
  const cv::Mat source = kfTargetForSampling(targetLinear_, s * n);
  const double fx = static_cast<double>(source.cols) / targetLinear_.cols;
  const double fy = static_cast<double>(source.rows) / targetLinear_.rows;

  // Sample point = n (centre + s R (target point - target centre)), with the
  // target point of a source pel (u, v) at ((u + 0.5) / fx, (v + 0.5) / fy).
  const double cx = pose.x.value_or(width_ / 2.0 + kCentreOffset[0]);
  const double cy = pose.y.value_or(height_ / 2.0 + kCentreOffset[1]);
  const double a = pose.rotation * CV_PI / 180.0;
  const double c = n * s * std::cos(a), sn = n * s * std::sin(a);
  // Counter-clockwise as displayed, with y pointing down.
  const cv::Matx22d rs(c, sn, -sn, c);
  const cv::Matx22d linear(rs(0, 0) / fx, rs(0, 1) / fy, rs(1, 0) / fx, rs(1, 1) / fy);
  const cv::Vec2d targetCentre(targetLinear_.cols / 2.0, targetLinear_.rows / 2.0);
  const cv::Vec2d halfSource(0.5 / fx, 0.5 / fy);
  const cv::Vec2d shift = cv::Vec2d(n * cx - 0.5, n * cy - 0.5) + rs * (halfSource - targetCentre);

  // The samples of a few sensor rows at a time, so that their memory stays
  // small whatever the sensor's size.
  const int rowsPerStrip = std::max(1, kStripSamples / (n * n * width_));
  const cv::Scalar background = cv::Scalar::all(kBackground);
  cv::Mat light(height_, width_, CV_32FC3), samples;
  for (int y0 = 0; y0 < height_; y0 += rowsPerStrip) {
    const int rows = std::min(rowsPerStrip, height_ - y0);
    const cv::Matx23d warp(linear(0, 0), linear(0, 1), shift[0], linear(1, 0), linear(1, 1), shift[1] - n * y0);
    cv::Mat strip = light.rowRange(y0, y0 + rows);
    cv::warpAffine(source, n == 1 ? strip : samples, warp, cv::Size(n * width_, n * rows), cv::INTER_LINEAR,
                   cv::BORDER_CONSTANT, background);
    if (n > 1) cv::resize(samples, strip, strip.size(), 0.0, 0.0, cv::INTER_AREA);  // exact means of n x n
  }
  return light;
}

// The light falls off with the square of each pel centre's distance from
// the sensor's centre, by shading_ at the corners. The falloff is so
// smooth that the lens's blur hardly changes it, so it applies after the
// blur.
void kcSimScene::shade(cv::Mat& light) const {
  const double cx = width_ / 2.0, cy = height_ / 2.0;
  const double perSquare = shading_ / (cx * cx + cy * cy);
  for (int y = 0; y < height_; ++y) {
    const double dy = y + 0.5 - cy;
    auto* row = light.ptr<cv::Vec3f>(y);
    for (int x = 0; x < width_; ++x) {
      const double dx = x + 0.5 - cx;
      row[x] *= static_cast<float>(1.0 - perSquare * (dx * dx + dy * dy));
    }
  }
}

void kcSimScene::render() {
  const cv::Mat light = this->light();
  // One plane at a time through one scratch image: fresh memory is slow to
  // come by on some systems, and this keeps it to the light and the levels.
  cv::Mat levels(3 * height_, width_, CV_16U), response;
  for (int k = 0; k < 3; ++k) {
    cv::transform(light, response, response_.row(k));
    response.convertTo(levels.rowRange(k * height_, (k + 1) * height_), CV_16U, 65535.0);
  }
  flatRuns_ = kcSimFlatRuns(levels, taps_);
  levels_ = levels;
}
