// The simulated camera's lens and pels: where an edge lands, how far it
// spreads, and that they keep the light.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <opencv2/imgproc.hpp>

#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor_model.h"
#include "host/acq/sim/target_chart.h"
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

}  // namespace
