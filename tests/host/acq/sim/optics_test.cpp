// The simulated camera's lens and pels: where an edge lands, how far it
// spreads, and that they keep the light.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <opencv2/imgproc.hpp>

#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor_model.h"
#include "host/acq/sim/target_chart.h"
#include "host/acq/sim/target_projection.h"
#include "host/imaging/cv_bridge.h"

namespace {

using namespace kcSimModel;

constexpr int kW = 160, kH = 120;

// Plane 1 (green) of the scene in linear light.
cv::Mat greenLight(const kc3PlanePelBuffer& target, const kcSimCameraConfig& config) {
  kcSimScene scene(target, config);
  cv::Mat light;
  scene.levels()
      .rowRange(static_cast<int>(config.height), static_cast<int>(2 * config.height))
      .convertTo(light, CV_64F, 1.0 / 65535);
  return light;
}

kcSimCameraConfig sensor(long width, long height) {
  kcSimCameraConfig c;
  c.width = width;
  c.height = height;
  return c;
}

// The centre and spread (standard deviation) of the rise along a row: the
// first differences weighted by their size, the difference between pels i
// and i + 1 lying at x = i + 1.
std::pair<double, double> edgeOf(const cv::Mat& row) {
  double sum = 0.0, first = 0.0, second = 0.0;
  for (int i = 0; i + 1 < row.cols; ++i) {
    const double d = row.at<double>(i + 1) - row.at<double>(i);
    sum += d;
    first += d * (i + 1);
    second += d * (i + 1) * (i + 1);
  }
  const double centre = first / sum;
  return {centre, std::sqrt(second / sum - centre * centre)};
}

TEST(SimOptics, ADefaultViewTurnsTheTargetOffThePelGridAndSpreadsEdgesAsTheLensAndPelsDo) {
  // Dark on the left, light on the right, larger than the view: one edge
  // crosses it from top to bottom.
  cv::Mat halves(2 * kH, 2 * kW, CV_8UC3, cv::Scalar::all(40));
  halves.colRange(kW, 2 * kW).setTo(cv::Scalar::all(220));
  const kc3PlanePelBuffer target = kf3PlanePelBufferFromBGR(halves);

  const kcSimCameraConfig defaults = sensor(kW, kH);
  const cv::Mat view = greenLight(target, defaults);
  const double cx = kW / 2.0 + kCentreOffset[0], cy = kH / 2.0 + kCentreOffset[1];
  const double slope = std::tan(defaults.pose.rotation * CV_PI / 180.0);
  ASSERT_GT(std::abs(slope), 0.01);
  for (int y : {10, kH / 2, kH - 10})
    EXPECT_NEAR(edgeOf(view.row(y)).first, cx + slope * (y + 0.5 - cy), 0.02) << "row " << y;

  // The rise is the target's own (linear between its pels' centres) spread
  // by the lens and by the pels; differences add one more pel's width.
  // A box one pel wide has variance 1/12.
  const auto spread = [&](double blur) {
    kcSimCameraConfig c = defaults;
    c.pose.rotation = 0.0;
    c.blur = blur;
    return edgeOf(greenLight(target, c).row(kH / 2)).second;
  };
  for (double blur : {0.0, 0.5, 1.5})
    EXPECT_NEAR(spread(blur), std::sqrt(blur * blur + 3.0 / 12), 0.05) << "blur " << blur;
}

TEST(SimOptics, BlurAndIntegrationKeepTheTargetsLightAtEveryScale) {
  const kc3PlanePelBuffer chart = kfSimTargetChart(96);
  const cv::Mat planes[3] = {kfMatView(chart.plane0()), kfMatView(chart.plane1()), kfMatView(chart.plane2())};
  const kcSimCameraConfig defaults = sensor(240, 160);
  const double x = defaults.crossTalk;
  double targetLight = 0.0;  // plane 1's response, over the background's
  for (int y = 0; y < chart.height(); ++y)
    for (int u = 0; u < chart.width(); ++u)
      for (int j = 0; j < 3; ++j)
        targetLight +=
            kSensitivity[1] * (j == 1 ? 1 - x : x / 2) * (kfSrgbDecode(planes[j].at<uchar>(y, u) / 255.0) - kBackground);
  // The background is uniform: its 16-bit levels all round the same way.
  const double backgroundLight = std::round(65535 * kSensitivity[1] * kBackground) / 65535 * 240 * 160;
  // Within 0.03 % of the light that falls on the chart: the levels' rounding.
  const double tolerance = 3e-4 * (targetLight + kSensitivity[1] * kBackground * chart.width() * chart.height());
  for (double scale : {0.2, 1.0, 1.7}) {
    kcSimCameraConfig c = defaults;
    c.pose.scale = scale;
    EXPECT_NEAR((cv::sum(greenLight(chart, c))[0] - backgroundLight) / (scale * scale), targetLight, tolerance)
        << "scale " << scale;
  }
}

TEST(SimOptics, ShadingTakesItsShareOffTheCornersAndNothingOffTheCentre) {
  // The background alone: the target lies far outside the view.
  kcSimCameraConfig c = sensor(kW, kH);
  c.pose.x = -10.0 * kW;
  const cv::Mat even = greenLight(kfSimTargetChart(96), c);
  c.shading = 0.3;
  const cv::Mat shaded = greenLight(kfSimTargetChart(96), c);
  // 1 - s (d / D)^2, d the pel centre's distance from the sensor's centre.
  const auto expected = [](const cv::Point& at) {
    const double dx = at.x + 0.5 - kW / 2.0, dy = at.y + 0.5 - kH / 2.0;
    return 1.0 - 0.3 * (dx * dx + dy * dy) / (kW * kW / 4.0 + kH * kH / 4.0);
  };
  for (const cv::Point at : {cv::Point(0, 0), cv::Point(kW - 1, 0), cv::Point(0, kH - 1), cv::Point(kW - 1, kH - 1),
                             cv::Point(kW / 4, kH / 4), cv::Point(kW / 2, kH / 2)})
    EXPECT_NEAR(shaded.at<double>(at) / even.at<double>(at), expected(at), 1e-3) << at;
  // Nearly the whole share at the corners, nothing at the centre.
  EXPECT_LT(expected({0, 0}), 0.71);
  EXPECT_GT(expected({kW / 2, kH / 2}), 0.9999);
}

// A dark target with a light rectangle in it: four edges inside the target.
kc3PlanePelBuffer framedRectangle(cv::Size target, cv::Rect light) {
  cv::Mat image(target, CV_8UC3, cv::Scalar::all(30));
  image(light).setTo(cv::Scalar::all(220));
  return kf3PlanePelBufferFromBGR(image);
}

// Where the edge between the frame's light and the rectangle's lies along
// `line` (a row or column of pels) near x. The pels keep the light, so over
// a stretch of pels across the edge the light above the frame's, in units
// of the rectangle's, adds up to the length on the rectangle's side,
// however the lens and the pels spread the edge.
double edgeAt(const cv::Mat& line, double x) {
  const double dark = kSensitivity[1] * kfSrgbDecode(30 / 255.0), light = kSensitivity[1] * kfSrgbDecode(220 / 255.0);
  const cv::Mat values = line.rows == 1 ? line : cv::Mat(line.t());
  const int from = static_cast<int>(x) - 6, to = static_cast<int>(x) + 6;
  double lightSide = 0.0;
  for (int i = from; i < to; ++i) lightSide += (values.at<double>(i) - dark) / (light - dark);
  return values.at<double>(from) < values.at<double>(to) ? to - lightSide : from + lightSide;
}

// The point of the target segment from `from` to `to` that the projection
// shows at coordinate `at` along sensor axis k (0: x, 1: y), by bisection:
// the segment's image must run monotonically along that axis.
kcSimPoint segmentAt(const kcSimProjection& p, cv::Point2d from, cv::Point2d to, int k, double at) {
  const auto shown = [&](double t) {
    const cv::Point2d q = from + t * (to - from);
    return p.toSensor({q.x, q.y}).value();
  };
  const auto along = [k](kcSimPoint s) { return k == 0 ? s.x : s.y; };
  double lo = 0.0, hi = 1.0;
  const bool rising = along(shown(1.0)) > along(shown(0.0));
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2;
    ((along(shown(mid)) < at) == rising ? lo : hi) = mid;
  }
  return shown(lo);
}

// For each side of the rectangle, at rows (sides running down the sensor)
// or columns (sides running across it) through its middle three fifths:
// the edge measured in the light less where the side's image crosses the
// line of the pels' centres.
std::vector<double> edgeErrors(const cv::Mat& light, const kcSimProjection& p, cv::Rect rect) {
  const cv::Point2d corners[4] = {rect.tl(), cv::Point2d(rect.br().x, rect.y), rect.br(),
                                  cv::Point2d(rect.x, rect.br().y)};
  std::vector<double> errors;
  for (int side = 0; side < 4; ++side) {
    const cv::Point2d from = corners[side], to = corners[(side + 1) % 4];
    const kcSimPoint a = p.toSensor({from.x, from.y}).value(), b = p.toSensor({to.x, to.y}).value();
    // k: the sensor axis along which the side runs furthest.
    const int k = std::abs(b.x - a.x) > std::abs(b.y - a.y) ? 0 : 1;
    const double start = k == 0 ? a.x : a.y, end = k == 0 ? b.x : b.y;
    for (double t = 0.2; t < 0.81; t += 0.05) {
      const double centre = std::floor(start + t * (end - start)) + 0.5;
      const kcSimPoint onSide = segmentAt(p, from, to, k, centre);
      const int line = static_cast<int>(centre);
      const double across = k == 0 ? onSide.y : onSide.x;
      errors.push_back(edgeAt(k == 0 ? light.col(line) : light.row(line), across) - across);
    }
  }
  return errors;
}

TEST(SimOptics, TiltedAndDistortedViewsShowEdgesWhereTheProjectionPutsThem) {
  const cv::Size target(300, 200);
  const cv::Rect rect(60, 40, 180, 120);
  kcSimCameraConfig c = sensor(400, 300);
  c.pose = {203.3, 148.6, 12.0, 0.9, 35.0, 30.0};
  for (double distortion : {0.0, -0.2, 0.25}) {
    c.distortion = distortion;
    const cv::Mat light = greenLight(framedRectangle(target, rect), c);
    const std::vector<double> errors = edgeErrors(light, kcSimProjection(c, target.width, target.height), rect);
    for (std::size_t i = 0; i < errors.size(); ++i) EXPECT_NEAR(errors[i], 0.0, 0.05) << distortion << " at " << i;
  }
}

// The renderer of tilted views (samples through the projection) against
// that of square ones (an affine warp): the same pose conventions, the
// same light but for where each renders its samples' positions.
TEST(SimOptics, ABarelyTiltedViewIsTheSquareView) {
  kcSimCameraConfig c = sensor(2 * kW, 2 * kH);
  c.pose.rotation = 17.0;
  for (double scale : {1.0, 1.7}) {
    c.pose.scale = scale;
    c.pose.tilt = 0.0;
    const cv::Mat square = greenLight(kfSimTargetChart(240), c);
    c.pose.tilt = 1e-9;
    EXPECT_LT(cv::norm(greenLight(kfSimTargetChart(240), c), square, cv::NORM_INF), 0.02) << scale;
  }
}

// Checkers one target pel wide, seen at a slant and shrunk: sampled too
// sparsely, the samples would pick out one colour or the other in broad
// bands. Against the mean, over 16 x 16 points of each pel, of the light
// the target shows there.
TEST(SimOptics, TiltedViewsOfFineDetailAreTheMeansOverThePelsAreas) {
  constexpr int kSide = 400, kWindow = 24, kPoints = 16;
  cv::Mat checkers(kSide, kSide, CV_8UC3);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) checkers.at<cv::Vec3b>(y, x) = cv::Vec3b::all((x + y) % 2 ? 230 : 20);
  const double light[2] = {kSensitivity[1] * kfSrgbDecode(20 / 255.0), kSensitivity[1] * kfSrgbDecode(230 / 255.0)};
  // Bilinear between the target pels' centres.
  const auto targetLight = [&](kcSimPoint p) {
    const double u = p.x - 0.5, v = p.y - 0.5, fu = u - std::floor(u), fv = v - std::floor(v);
    const auto at = [&](long i, long j) { return light[(i + j) % 2 != 0]; };
    const long i = static_cast<long>(std::floor(u)) + kSide, j = static_cast<long>(std::floor(v)) + kSide;
    return (1 - fv) * ((1 - fu) * at(i, j) + fu * at(i + 1, j)) +
           fv * ((1 - fu) * at(i, j + 1) + fu * at(i + 1, j + 1));
  };
  kcSimCameraConfig c = sensor(4 * kW, 4 * kH);
  c.blur = 0.0;
  // The square view's own renderer comes within 0.015 .. 0.045 of it on
  // these checkers, at scales 0.3 .. 1.
  for (const auto& [tilt, scale] : {std::pair(30.0, 0.5), std::pair(55.0, 0.3)}) {
    c.pose = {2.0 * kW, 2.0 * kH, 10.0, scale, tilt, 20.0};
    const kcSimProjection projection(c, kSide, kSide);
    const cv::Mat view = greenLight(kf3PlanePelBufferFromBGR(checkers), c);
    double worst = 0.0;
    for (int y = 2 * kH - kWindow / 2; y < 2 * kH + kWindow / 2; ++y)
      for (int x = 2 * kW - kWindow / 2; x < 2 * kW + kWindow / 2; ++x) {
        double sum = 0.0;
        for (int i = 0; i < kPoints; ++i)
          for (int j = 0; j < kPoints; ++j)
            sum += targetLight(projection.toTarget({x + (j + 0.5) / kPoints, y + (i + 0.5) / kPoints}).value());
        worst = std::max(worst, std::abs(view.at<double>(y, x) - sum / (kPoints * kPoints)));
      }
    EXPECT_LT(worst, 0.03) << tilt << " " << scale;
  }
}

TEST(SimOptics, BarrelDistortionBowsStraightEdgesOutwardAndPincushionInward) {
  // A target larger than the view, square to it and centred, light above a
  // straight edge 50 pels above the sensor's centre.
  kcSimCameraConfig c = sensor(kW * 2, kH * 2);
  c.pose = {kW, kH, 0.0, 1.0};
  const kc3PlanePelBuffer target = framedRectangle({4 * kW, 4 * kH}, cv::Rect(0, 0, 4 * kW, 2 * kH - 50));
  // The edge's height at the view's left, middle and right, less the mean
  // of its ends': below 0 the edge bows away from the centre.
  const auto bow = [&](double distortion) {
    c.distortion = distortion;
    const cv::Mat light = greenLight(target, c);
    double y[3];
    for (int i = 0; i < 3; ++i) y[i] = edgeAt(light.col(20 + i * (kW - 20)), kH - 50);
    return y[1] - (y[0] + y[2]) / 2;
  };
  EXPECT_NEAR(bow(0.0), 0.0, 0.05);
  EXPECT_LT(bow(-0.2), -1.0);
  EXPECT_GT(bow(0.2), 1.0);
}

}  // namespace
