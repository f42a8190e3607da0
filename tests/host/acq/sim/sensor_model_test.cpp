// The simulated camera's fast paths against the literal model of
// host/acq/sim/sensor_model.h.
#include <gtest/gtest.h>

#include <cmath>

#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

using namespace kcSimModel;

constexpr int kW = 240, kH = 160;  // the chart's own size
constexpr double kCrossTalk = 0.05;

// A sharp lens, pels that take the light at their centres and a square
// pose centred on the sensor: the chart lies pel on pel.
kcSimCameraConfig pelOnPel() {
  kcSimCameraConfig c;
  c.width = kW;
  c.height = kH;
  c.pose = {kW / 2.0, kH / 2.0, 0.0, 1.0};
  c.blur = 0.0;
  c.integrate = false;
  c.crossTalk = kCrossTalk;
  return c;
}

kcSimExposure settings(double exposure, std::vector<double> contrast, std::vector<double> brightness) {
  kcSimExposure s{exposure, std::move(contrast), std::move(brightness), {}};
  for (auto& table : s.tables)
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  return s;
}

class SimModel : public ::testing::Test {
 protected:
  const kc3PlanePelBuffer chart = kfSimTargetChart(kW);
  kcSimScene scene{chart, pelOnPel()};
  cv::Mat level(int k) { return scene.levels().rowRange(k * kH, (k + 1) * kH); }
};

TEST_F(SimModel, WithoutBlurOrIntegrationASquarePoseShowsTheChartsLightPelOnPel) {
  const cv::Mat chartPlanes[3] = {kfMatView(chart.plane0()), kfMatView(chart.plane1()), kfMatView(chart.plane2())};
  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 5) {
      double r = 0.0;  // plane 1's response
      for (int j = 0; j < 3; ++j)
        r += kSensitivity[1] * (j == 1 ? 1 - kCrossTalk : kCrossTalk / 2) *
             kfSrgbDecode(chartPlanes[j].at<uchar>(y, x) / 255.0);
      ASSERT_NEAR(level(1).at<std::uint16_t>(y, x), 65535 * r, 1.0) << x << "," << y;
    }
  const cv::Mat unmoved = level(1).clone();
  scene.pose(kcSimPose{kW / 2.0 + 10, kH / 2.0 - 4, 0.0, 1.0});
  EXPECT_EQ(
      cv::norm(level(1)(cv::Rect(10, 0, kW - 10, kH - 4)), unmoved(cv::Rect(0, 4, kW - 10, kH - 4)), cv::NORM_INF), 0);
  // A quarter turn counter-clockwise as displayed. The centre lies on a pel
  // corner, so pel (cx + dx, cy + dy) goes to (cx + dy, cy - 1 - dx).
  scene.pose(kcSimPose{kW / 2.0, kH / 2.0, 90.0, 1.0});
  for (const auto& [dx, dy] : {std::pair{30, 0}, std::pair{-50, 20}, std::pair{12, -35}})
    EXPECT_NEAR(level(1).at<std::uint16_t>(kH / 2 - 1 - dx, kW / 2 + dy),
                unmoved.at<std::uint16_t>(kH / 2 + dy, kW / 2 + dx), 2);
}

TEST_F(SimModel, ExposureFollowsTheLiteralModelOnEveryTap) {
  kcSimSensor sensor(kW, kH, 3, 0.0, 1);
  kcSimExposure s = settings(0.02, {0.2, 0.5, 0.9}, {0.0, 0.4, 0.7});
  for (int i = 0; i < 256; ++i) s.tables[2][i] = static_cast<unsigned char>(255 - i);
  const kc3PlanePelBuffer image = sensor.expose(scene.levels(), kcSimFlatRuns(scene.levels(), 3), s, 1);
  const cv::Mat planes[3] = {kfMatView(image.plane0()), kfMatView(image.plane1()), kfMatView(image.plane2())};
  int worst = 0, off = 0;
  for (int k = 0; k < 3; ++k)
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const int tap = x * 3 / kW;
        const double p = s.exposure * kPhotonRate * level(k).at<std::uint16_t>(y, x) / 65535.0;
        const double code = std::clamp(std::round(kAdcMax * (gain(s.contrast[tap]) * p + black(s.brightness[tap]))),
                                       0.0, 1.0 * kAdcMax);
        const int diff =
            std::abs(planes[k].at<uchar>(y, x) - s.tables[k][std::lround(255.0 * kfSrgbEncode(code / kAdcMax))]);
        worst = std::max(worst, diff);
        off += diff != 0;
      }
  EXPECT_LE(worst, 1);  // single- against double-precision rounding
  EXPECT_LT(off, 3 * kW * kH / 200);
}

// A more sensitive camera sees what a longer exposure shows: its scene's
// light is not clipped at the top of the levels before the sensor sees it,
// so its bright colours reach 255 as they do at the longer exposure.
TEST_F(SimModel, ASensitiveCameraSeesTheSceneAsALongerExposureShowsIt) {
  kcSimCameraConfig config = pelOnPel();
  config.sensitivity = 2.5;
  kcSimScene sensitiveScene{chart, config};
  EXPECT_EQ(cv::norm(sensitiveScene.levels(), scene.levels(), cv::NORM_INF), 0);
  kcSimSensor sensitive(kW, kH, 1, 0.0, 1, 2.5), plain(kW, kH, 1, 0.0, 1);
  const kc3PlanePelBuffer seen =
      sensitive.expose(sensitiveScene.levels(), sensitiveScene.flatRuns(), settings(0.012, {0.5}, {0.4}), 1);
  const kc3PlanePelBuffer longer = plain.expose(scene.levels(), scene.flatRuns(), settings(0.03, {0.5}, {0.4}), 1);
  double brightest = 0.0;
  for (int k = 0; k < 3; ++k) {
    EXPECT_LE(cv::norm(kfMatView(seen.pelPlane(k)), kfMatView(longer.pelPlane(k)), cv::NORM_INF), 1) << k;
    double most = 0.0;
    cv::minMaxLoc(kfMatView(seen.pelPlane(k)), nullptr, &most);
    brightest = std::max(brightest, most);
  }
  EXPECT_EQ(brightest, 255.0);
}

// The card's pels come from the tables of the flat runs; each frame draws
// noise of its own, so two frames differ by the spread of two.
TEST_F(SimModel, NoiseHasTheModelsSpreadNoBiasAndChangesFromFrameToFrame) {
  kcSimSensor quiet(kW, kH, 1, 0.0, 1), noisy(kW, kH, 1, 1.0, 9);
  const kcSimExposure s = settings(0.025, {0.5}, {0.4});
  const cv::Rect card(0, 0, kW, 2);  // the chart's dark card: uniform light
  for (int y = 0; y < card.height; ++y) {
    std::size_t inRuns = 0;
    for (const kcSimFlatRuns::Run& run : scene.flatRuns().row(kH + y)) inRuns += run.x1 - run.x0;
    ASSERT_GT(inRuns, kW / 2);
  }
  const auto frame = [&](kcSimSensor& sensor, unsigned long n) {
    cv::Mat pels;
    kfMatView(sensor.expose(scene.levels(), scene.flatRuns(), s, n).plane1())(card).convertTo(pels, CV_32F);
    return pels;
  };
  const cv::Mat clean = frame(quiet, 1), first = frame(noisy, 1), second = frame(noisy, 2);
  cv::Scalar mean, sd, meanBetween, sdBetween;
  cv::meanStdDev(first - clean, mean, sd);
  cv::meanStdDev(second - first, meanBetween, sdBetween);
  const double p = s.exposure * kPhotonRate * level(1).at<std::uint16_t>(0, 0) / 65535.0;
  const double sigmaCodes = kAdcMax * std::sqrt(p / kFullWell + kReadNoise * kReadNoise);
  const double slope = (kfSrgbEncode(p + 1e-4) - kfSrgbEncode(p - 1e-4)) / 2e-4 * 255.0 / kAdcMax;
  const double expected = std::hypot(sigmaCodes * slope, std::sqrt(1.0 / 12));  // with 8-bit rounding
  EXPECT_NEAR(sd[0], expected, 0.2 * expected);
  EXPECT_NEAR(mean[0], 0.0, 0.15);
  EXPECT_NEAR(sdBetween[0], std::sqrt(2.0) * expected, 0.2 * expected);
  EXPECT_NEAR(meanBetween[0], 0.0, 0.2);
}

}  // namespace
