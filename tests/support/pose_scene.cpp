#include "support/pose_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/acq/sim/target_projection.h"
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

cv::Matx33d translation(double x, double y) { return {1.0, 0.0, x, 0.0, 1.0, y, 0.0, 0.0, 1.0}; }

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
  const kcMatrix<2>& m = pose.matrix();
  const cv::Matx33d centred(m.element(0, 0), m.element(0, 1), pose.trans().x(), m.element(1, 0), m.element(1, 1),
                            pose.trans().y(), 0.0, 0.0, 1.0);
  return renderScene(chart, background, centred * translation(-chart.cols * 0.5, -chart.rows * 0.5), rng);
}

cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const cv::Matx33d& pose, cv::RNG& rng,
                    double blur, double noise) {
  // In linear light, as a lens and a sensor blend it. Matrix coordinates
  // sit half a pel below image coordinates; the doubled view has image
  // coordinates twice the view's. The chart is padded so that bilinear
  // sampling of its cover blends its edge centred on the edge.
  constexpr int pad = 2;
  const cv::Matx33d doubled(2.0, 0.0, 0.0, 0.0, 2.0, 0.0, 0.0, 0.0, 1.0);
  const cv::Matx33d warp = translation(-0.5, -0.5) * doubled * pose * translation(-pad, -pad) * translation(0.5, 0.5);
  cv::Mat padded, cover = cv::Mat::zeros(chart.rows + 2 * pad, chart.cols + 2 * pad, CV_32FC3);
  cv::copyMakeBorder(decodeSrgb(chart), padded, pad, pad, pad, pad, cv::BORDER_REPLICATE);
  cover(cv::Rect(pad, pad, chart.cols, chart.rows)).setTo(cv::Scalar::all(1.0));
  const cv::Size big = background.size() * 2;
  cv::Mat view, paste, alpha;
  cv::resize(decodeSrgb(background), view, big, 0, 0, cv::INTER_LINEAR);
  cv::warpPerspective(padded, paste, warp, big, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::warpPerspective(cover, alpha, warp, big, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
  view = paste.mul(alpha) + view.mul(cv::Scalar::all(1.0) - alpha);
  cv::resize(view, view, background.size(), 0, 0, cv::INTER_AREA);
  if (blur > 0.0) cv::GaussianBlur(view, view, cv::Size(), blur);
  cv::Mat grain(view.size(), CV_32FC3), out;
  rng.fill(grain, cv::RNG::NORMAL, 0.0, noise);
  cv::Mat(encodeSrgb(view) + grain).convertTo(out, CV_8UC3);
  return out;
}

cv::Matx33d PlanePose::homography(cv::Size chart) const {
  const double t = tiltDegrees * std::numbers::pi / 180.0, a = tiltAxisDegrees * std::numbers::pi / 180.0;
  // The rotation by t about the unit axis (ux, uy, 0) (Rodrigues).
  const double ux = std::cos(a), uy = std::sin(a), c = std::cos(t), s = std::sin(t);
  const cv::Matx33d tilt(c + ux * ux * (1 - c), ux * uy * (1 - c), uy * s,  //
                         ux * uy * (1 - c), c + uy * uy * (1 - c), -ux * s,  //
                         -uy * s, ux * s, c);
  // Columns: the tilted chart's x and y axes, and its centre at distance focal.
  const cv::Matx33d plane(tilt(0, 0), tilt(0, 1), 0.0, tilt(1, 0), tilt(1, 1), 0.0, tilt(2, 0), tilt(2, 1), focal);
  const double r = rotationDegrees * std::numbers::pi / 180.0;
  const cv::Matx33d turn(std::cos(r), -std::sin(r), 0.0, std::sin(r), std::cos(r), 0.0, 0.0, 0.0, 1.0);
  const cv::Matx33d project(focal, 0.0, 0.0, 0.0, focal, 0.0, 0.0, 0.0, 1.0);
  const cv::Matx33d scaled(scale, 0.0, 0.0, 0.0, scale, 0.0, 0.0, 0.0, 1.0);
  const cv::Matx33d h = translation(centre.x, centre.y) * turn * project * plane * scaled *
                        translation(-chart.width * 0.5, -chart.height * 0.5);
  return h * (1.0 / h(2, 2));
}

PlanePose randomPlanePose(cv::Size chart, cv::Size view, cv::RNG& rng, double minScale, double maxScale,
                          double maxTilt) {
  PlanePose pose;
  pose.rotationDegrees = rng.uniform(-180.0, 180.0);
  pose.scale = std::exp(rng.uniform(std::log(minScale), std::log(maxScale)));
  pose.tiltDegrees = rng.uniform(0.0, maxTilt);
  pose.tiltAxisDegrees = rng.uniform(0.0, 180.0);
  // The outline's reach about the centre, then a centre that keeps it in view.
  double left = HUGE_VAL, right = -HUGE_VAL, top = HUGE_VAL, bottom = -HUGE_VAL;
  const cv::Matx33d h = pose.homography(chart);
  for (const cv::Point2d& corner : {cv::Point2d(0, 0), cv::Point2d(chart.width, 0),
                                    cv::Point2d(chart.width, chart.height), cv::Point2d(0, chart.height)}) {
    const cv::Vec3d p = h * cv::Vec3d(corner.x, corner.y, 1.0);
    left = std::min(left, p[0] / p[2]), right = std::max(right, p[0] / p[2]);
    top = std::min(top, p[1] / p[2]), bottom = std::max(bottom, p[1] / p[2]);
  }
  pose.centre = {rng.uniform(2.0 - left, std::max(2.0 - left, view.width - 2.0 - right)),
                 rng.uniform(2.0 - top, std::max(2.0 - top, view.height - 2.0 - bottom))};
  return pose;
}

cv::Mat simFrame(const kcSimCameraConfig& config) {
  const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();
  fifo->triggerModel(kfManualTrigger());
  fifo->start(0);
  return kfBGRMat(fifo->completeAcq(kcAcqFifo::CompleteArgs())->get3PlanePelBuffer());
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
  return simFrame(config);
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

namespace {

// True when the chart at the pose lies in the view, 2 pels from its edges.
bool insideView(const cv::Matx33d& pose, cv::Size chart, cv::Size view) {
  for (const cv::Point2d& corner : {cv::Point2d(0, 0), cv::Point2d(chart.width, 0),
                                    cv::Point2d(chart.width, chart.height), cv::Point2d(0, chart.height)}) {
    const cv::Vec3d p = pose * cv::Vec3d(corner.x, corner.y, 1.0);
    const double x = p[0] / p[2], y = p[1] / p[2];
    if (x < 2.0 || y < 2.0 || x > view.width - 2.0 || y > view.height - 2.0) return false;
  }
  return true;
}

}  // namespace

TargetScene randomTargetScene(unsigned long seed, cv::Size sensor, double maxTilt) {
  cv::RNG rng(seed);
  TargetScene scene;
  const cv::Size grid(rng.uniform(4, 9), rng.uniform(3, 7));
  const double scale = std::exp(rng.uniform(std::log(0.4), std::log(2.5)));
  const double seen = std::exp(rng.uniform(std::log(100.0), std::log(900.0)));
  scene.chart = randomChart(grid, std::max(64, static_cast<int>(std::lround(seen / scale))), rng);
  for (int k = 0; k < 3; ++k) scene.planes[k] = rng.uniform(0.6, 1.4);
  // Turns and tilts drawn again until the chart fits in the view.
  do {
    scene.truth = randomPlanePose(scene.chart.size(), sensor, rng, scale, scale, maxTilt);
    scene.pose = scene.truth.homography(scene.chart.size());
  } while (!insideView(scene.pose, scene.chart.size(), sensor));
  scene.blur = rng.uniform(0.3, 1.5);
  scene.noise = rng.uniform(1.0, 4.0);
  scene.frame = renderScene(scaledPlanes(scene.chart, scene.planes), clutter(sensor, rng), scene.pose, rng, scene.blur,
                            scene.noise);
  return scene;
}

TargetScene randomSimTargetScene(unsigned long seed, cv::Size sensor, double maxTilt) {
  cv::RNG rng(seed);
  TargetScene scene;
  const cv::Size grid(rng.uniform(4, 9), rng.uniform(3, 7));
  const double scale = std::exp(rng.uniform(std::log(0.4), std::log(2.5)));
  const double seen = std::exp(rng.uniform(std::log(100.0), std::log(900.0)));
  scene.chart = randomChart(grid, std::max(64, static_cast<int>(std::lround(seen / scale))), rng);
  for (int k = 0; k < 3; ++k) scene.planes[k] = rng.uniform(0.6, 1.4);
  kcSimCameraConfig config;
  config.width = sensor.width;
  config.height = sensor.height;
  config.seed = seed;
  config.pose.scale = scale;
  // Turns, slants and places drawn again until the chart fits in the view.
  do {
    config.pose.rotation = rng.uniform(-180.0, 180.0);
    config.pose.tilt = rng.uniform(0.0, maxTilt);
    config.pose.tiltAxis = rng.uniform(0.0, 180.0);
    config.pose.x = rng.uniform(0.0, static_cast<double>(sensor.width));
    config.pose.y = rng.uniform(0.0, static_cast<double>(sensor.height));
    const std::array<double, 9> h = kcSimProjection(config, scene.chart.cols, scene.chart.rows).homography();
    scene.pose = cv::Matx33d(h.data()) * (1.0 / h[8]);
  } while (!insideView(scene.pose, scene.chart.size(), sensor));
  scene.truth.rotationDegrees = -config.pose.rotation;
  scene.truth.scale = scale;
  scene.truth.centre = {*config.pose.x, *config.pose.y};
  scene.truth.tiltDegrees = config.pose.tilt;
  scene.truth.tiltAxisDegrees = config.pose.tiltAxis;
  config.target = kf3PlanePelBufferFromBGR(scaledPlanes(scene.chart, scene.planes));
  scene.frame = simFrame(config);
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

PoseErrors poseErrors(const cv::Matx33d& found, const cv::Matx33d& truth, cv::Size chart) {
  const auto at = [](const cv::Matx33d& h, double x, double y) {
    const cv::Vec3d p = h * cv::Vec3d(x, y, 1.0);
    return cv::Point2d(p[0] / p[2], p[1] / p[2]);
  };
  const double w = chart.width, h = chart.height;
  const std::array<cv::Point2d, 4> corners{cv::Point2d(0, 0), cv::Point2d(w, 0), cv::Point2d(w, h), cv::Point2d(0, h)};
  PoseErrors e;
  e.centre = cv::norm(at(found, w * 0.5, h * 0.5) - at(truth, w * 0.5, h * 0.5));
  for (std::size_t k = 0; k < 4; ++k) {
    const cv::Point2d& a = corners[k];
    const cv::Point2d& b = corners[(k + 1) % 4];
    const cv::Point2d f = at(found, b.x, b.y) - at(found, a.x, a.y), t = at(truth, b.x, b.y) - at(truth, a.x, a.y);
    e.side = std::max(e.side, std::abs(cv::norm(f) - cv::norm(t)));
    e.angle = std::max(e.angle, std::abs(std::remainder(std::atan2(f.y, f.x) - std::atan2(t.y, t.x), 2 * std::numbers::pi)));
    e.corner = std::max(e.corner, cv::norm(at(found, a.x, a.y) - at(truth, a.x, a.y)));
  }
  return e;
}

cv::Mat grey(const cv::Mat& bgr) {
  cv::Mat g;
  cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
  return g;
}

}  // namespace colc_test
