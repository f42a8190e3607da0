#include "support/pose_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/srgb.h"

namespace colc_test {

kcXform<2> TargetPose::xform() const {
  const double a = rotationDegrees * std::numbers::pi / 180.0;
  const double c = scale * std::cos(a), s = scale * std::sin(a);
  return {kcMatrix<2>(c, -s, s, c), kcVector<2>(centre.x, centre.y)};
}

cv::Mat simChart(int width) { return kfBGRMat(kfSimTargetChart(width)); }

cv::Mat otherChart(cv::Size size) {
  cv::Mat chart(size, CV_8UC3, cv::Scalar(110, 120, 130));
  cv::RNG rng(77);
  const double w = size.width / 8.0, h = size.height / 5.0;
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 8; ++c)
      cv::rectangle(chart,
                    cv::Rect(cv::Point2d((c + 0.1) * w, (r + 0.1) * h), cv::Point2d((c + 0.9) * w, (r + 0.9) * h)),
                    cv::Scalar(rng.uniform(20, 240), rng.uniform(20, 240), rng.uniform(20, 240)), cv::FILLED);
  return chart;
}

cv::Mat randomChart(cv::Size grid, int longSide, cv::RNG& rng) {
  const int rows = grid.height, cols = grid.width;
  const double pitch = static_cast<double>(longSide) / std::max(rows, cols);
  const int card = rng.uniform(15, 60);
  cv::Mat chart(cvRound(pitch * rows), cvRound(pitch * cols), CV_8UC3, cv::Scalar::all(card));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      cv::rectangle(chart,
                    cv::Rect(cv::Point2d((c + 0.1) * pitch, (r + 0.1) * pitch),
                             cv::Point2d((c + 0.9) * pitch, (r + 0.9) * pitch)),
                    cv::Scalar(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256)), cv::FILLED);
  return chart;
}

cv::Mat clutter(cv::Size size, cv::RNG& rng) {
  cv::Mat coarse(std::max(2, size.height / 64), std::max(2, size.width / 64), CV_8UC3), background;
  rng.fill(coarse, cv::RNG::UNIFORM, 40, 160);
  cv::resize(coarse, background, size, 0, 0, cv::INTER_CUBIC);
  for (int i = 0; i < 40; ++i) {
    const cv::Point p(rng.uniform(0, size.width), rng.uniform(0, size.height));
    const cv::Scalar colour(rng.uniform(0, 255), rng.uniform(0, 255), rng.uniform(0, 255));
    if (i % 2)
      cv::circle(background, p, rng.uniform(3, size.width / 12), colour, cv::FILLED, cv::LINE_AA);
    else
      cv::line(background, p, cv::Point(rng.uniform(0, size.width), rng.uniform(0, size.height)), colour,
               rng.uniform(1, 6), cv::LINE_AA);
  }
  return background;
}

namespace {

// sRGB-encoded pels (0..255) to linear light (0..1), and back.
cv::Mat decodeSrgb(const cv::Mat& pels) {
  cv::Mat table(1, 256, CV_32F), linear;
  for (int i = 0; i < 256; ++i) table.at<float>(i) = static_cast<float>(kfSrgbDecode(i / 255.0));
  cv::LUT(pels, table, linear);
  return linear;
}

cv::Mat encodeSrgb(const cv::Mat& linear) {
  cv::Mat clipped, curved;
  cv::max(linear, cv::Scalar::all(0.0), clipped);
  cv::Mat low = clipped * (12.92 * 255.0);
  cv::pow(clipped, 1.0 / 2.4, curved);
  cv::subtract(curved * (1.055 * 255.0), cv::Scalar::all(0.055 * 255.0), curved);
  cv::Mat above;
  cv::compare(clipped, cv::Scalar::all(0.0031308), above, cv::CMP_GT);
  curved.copyTo(low, above);
  return low;
}

}  // namespace

cv::Mat scaledPlanes(const cv::Mat& chart, const cv::Vec3d& factors) {
  cv::Mat scaled;
  cv::multiply(decodeSrgb(chart), cv::Scalar(factors[0], factors[1], factors[2]), scaled);
  cv::Mat out;
  cv::min(scaled, cv::Scalar::all(1.0), scaled);
  encodeSrgb(scaled).convertTo(out, CV_8UC3);
  return out;
}

cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const kcXform<2>& pose, cv::RNG& rng) {
  // In linear light, as a lens and a sensor blend it. Matrix coordinates
  // sit half a pel below image coordinates; the doubled view has image
  // coordinates twice the view's. The chart is padded so that bilinear
  // sampling of its cover blends its edge centred on the edge.
  constexpr int pad = 2;
  const kcXform<2> half(kcMatrix<2>(), kcVector<2>(0.5, 0.5));
  const kcXform<2> toCentred(kcMatrix<2>(), kcVector<2>(-chart.cols * 0.5 - pad, -chart.rows * 0.5 - pad));
  const kcXform<2> doubled(kcMatrix<2>(2.0, 0.0, 0.0, 2.0), kcVector<2>());
  const kcXform<2> m = half.inverse() * doubled * pose * toCentred * half;
  const cv::Matx23d warp(m.matrix().element(0, 0), m.matrix().element(0, 1), m.trans().x(), m.matrix().element(1, 0),
                         m.matrix().element(1, 1), m.trans().y());
  cv::Mat padded, cover = cv::Mat::zeros(chart.rows + 2 * pad, chart.cols + 2 * pad, CV_32FC3);
  cv::copyMakeBorder(decodeSrgb(chart), padded, pad, pad, pad, pad, cv::BORDER_REPLICATE);
  cover(cv::Rect(pad, pad, chart.cols, chart.rows)).setTo(cv::Scalar::all(1.0));
  const cv::Size big = background.size() * 2;
  cv::Mat view, paste, alpha;
  cv::resize(decodeSrgb(background), view, big, 0, 0, cv::INTER_LINEAR);
  cv::warpAffine(padded, paste, warp, big, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::warpAffine(cover, alpha, warp, big, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
  view = paste.mul(alpha) + view.mul(cv::Scalar::all(1.0) - alpha);
  cv::resize(view, view, background.size(), 0, 0, cv::INTER_AREA);
  cv::GaussianBlur(view, view, cv::Size(), 0.6);
  cv::Mat noise(view.size(), CV_32FC3), out;
  rng.fill(noise, cv::RNG::NORMAL, 0.0, 2.0);
  cv::Mat(encodeSrgb(view) + noise).convertTo(out, CV_8UC3);
  return out;
}

cv::Mat simFrame(const cv::Mat& chart, const TargetPose& pose, cv::Size sensor, unsigned long seed) {
  kcSimCameraConfig config;
  config.width = sensor.width;
  config.height = sensor.height;
  config.seed = seed;
  config.pose.x = pose.centre.x;
  config.pose.y = pose.centre.y;
  config.pose.rotation = -pose.rotationDegrees;  // the camera turns counter-clockwise as displayed
  config.pose.scale = pose.scale;
  config.target = kf3PlanePelBufferFromBGR(chart);
  const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();
  fifo->triggerModel(kfManualTrigger());
  fifo->start(0);
  return kfBGRMat(fifo->completeAcq(kcAcqFifo::CompleteArgs())->get3PlanePelBuffer());
}

ChartScene randomChartScene(unsigned long seed, cv::Size sensor, int minSide, int maxSide) {
  cv::RNG rng(seed);
  ChartScene scene;
  const int columns = rng.uniform(4, 9), rows = rng.uniform(3, 7);
  scene.chart = randomChart(cv::Size(columns, rows), rng.uniform(minSide, maxSide + 1), rng);
  for (int k = 0; k < 3; ++k) scene.planes[k] = rng.uniform(0.6, 1.4);
  scene.truth = randomPose(scene.chart.size(), sensor, rng, 20.0);
  scene.frame = simFrame(scaledPlanes(scene.chart, scene.planes), scene.truth, sensor, seed);
  return scene;
}

TargetPose randomPose(cv::Size chart, cv::Size view, cv::RNG& rng, double maxRotation) {
  TargetPose pose{rng.uniform(-maxRotation, maxRotation), rng.uniform(0.8, 1.2), {}};
  const double a = pose.rotationDegrees * std::numbers::pi / 180.0, c = std::abs(std::cos(a)),
               s = std::abs(std::sin(a));
  const double hw = 0.5 * pose.scale * (chart.width * c + chart.height * s) + 2.0;
  const double hh = 0.5 * pose.scale * (chart.width * s + chart.height * c) + 2.0;
  pose.centre = {rng.uniform(hw, view.width - hw), rng.uniform(hh, view.height - hh)};
  return pose;
}

std::vector<double> cornerErrorsAtRandomPoses(const char* what, std::size_t defaultTrials, cv::Size chart,
                                              cv::Size view, cv::RNG& rng,
                                              const std::function<double(const TargetPose&, std::size_t)>& trial) {
  const char* trials = std::getenv("COLC_POSE_TRIALS");
  std::vector<double> errors(trials ? static_cast<std::size_t>(std::max(1, std::atoi(trials))) : defaultTrials);
  for (std::size_t t = 0; t < errors.size(); ++t) {
    const TargetPose pose = randomPose(chart, view, rng);
    errors[t] = trial(pose, t);
  }
  std::sort(errors.begin(), errors.end());
  std::printf("%s corner error over %zu poses: median %.3f, max %.3f pel\n", what, errors.size(),
              errors[errors.size() / 2], errors.back());
  return errors;
}

double cornerError(const kcXform<2>& found, const kcXform<2>& truth, double hw, double hh) {
  double worst = 0.0;
  for (const kcVector<2> corner :
       {kcVector<2>(-hw, -hh), kcVector<2>(hw, -hh), kcVector<2>(-hw, hh), kcVector<2>(hw, hh)})
    worst = std::max(worst, (found.mapPoint(corner) - truth.mapPoint(corner)).length());
  return worst;
}

double samplingCornerError(const kcAffineSamplingParams& sampling, const kcXform<2>& pose, cv::Size chart) {
  const kcAffineRectangle& r = sampling.affineRectangle();
  const double hw = (chart.width - 6) * 0.5, hh = (chart.height - 6) * 0.5;
  const kcVector<2> found[4] = {r.origin(), r.origin() + r.xSide(), r.origin() + r.ySide(),
                                r.origin() + r.xSide() + r.ySide()};
  const kcVector<2> inner[4] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
  double worst = 0.0;
  for (int i = 0; i < 4; ++i) worst = std::max(worst, (found[i] - pose.mapPoint(inner[i])).length());
  return worst;
}

cv::Mat grey(const cv::Mat& bgr) {
  cv::Mat g;
  cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
  return g;
}

}  // namespace colc_test
