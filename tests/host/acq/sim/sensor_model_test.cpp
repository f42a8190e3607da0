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

constexpr int kW = 240, kH = 160;  // the chart's own size: an unmoved chart lies pel on pel
constexpr double kCrossTalk = 0.05;

// The light of plane k of chart pel (x, y), as a 16-bit level.
double literalLevel(const kc3PlanePelBuffer& chart, int k, int x, int y) {
  const kcPelBuffer_const<unsigned char> planes[3] = {chart.plane0(), chart.plane1(), chart.plane2()};
  double r = 0.0;
  for (int j = 0; j < 3; ++j) {
    const double light = srgbDecode(planes[j].pointToRow(y)[x] / 255.0);
    r += kSensitivity[k] * (j == k ? 1.0 - kCrossTalk : kCrossTalk / 2) * light;
  }
  return 65535.0 * r;
}

// The pel that a noise-free camera delivers for a level.
int literalPel(double level, const kcSimExposure& s, int tap, int plane) {
  const double p = s.exposure * kPhotonRate * level / 65535.0;
  const double v = gain(s.contrast[tap]) * p + black(s.brightness[tap]);
  const double code = std::clamp(std::round(kAdcMax * v), 0.0, static_cast<double>(kAdcMax));
  return s.tables[plane][std::lround(255.0 * srgbEncode(code / kAdcMax))];
}

kcSimExposure settings(double exposure, std::vector<double> contrast, std::vector<double> brightness) {
  kcSimExposure s;
  s.exposure = exposure;
  s.contrast = std::move(contrast);
  s.brightness = std::move(brightness);
  for (auto& table : s.tables)
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  return s;
}

class SimModel : public ::testing::Test {
 protected:
  const kc3PlanePelBuffer chart = kfSimTargetChart(kW);
  kcSimScene scene{chart, kcSimPose{}, kW, kH, kCrossTalk};
  cv::Mat level(int k) { return scene.levels().rowRange(k * kH, (k + 1) * kH); }
};

TEST_F(SimModel, UnmovedChartLiesPelOnPelInLinearLight) {
  double worst = 0.0;
  for (int k = 0; k < 3; ++k)
    for (int y = 0; y < kH; y += 3)
      for (int x = 0; x < kW; x += 3)
        worst = std::max(worst, std::abs(level(k).at<std::uint16_t>(y, x) - literalLevel(chart, k, x, y)));
  EXPECT_LE(worst, 1.0);
}

TEST_F(SimModel, PoseMovesAndTurnsTheChartAboutItsCentre) {
  const cv::Mat unmoved = level(1).clone();
  scene.pose(kcSimPose{kW / 2.0 + 10, kH / 2.0 - 4, 0.0, 1.0});
  EXPECT_EQ(cv::norm(level(1)(cv::Rect(10, 0, kW - 10, kH - 4)), unmoved(cv::Rect(0, 4, kW - 10, kH - 4)),
                     cv::NORM_INF),
            0.0);
  // A quarter turn counter-clockwise as displayed: the chart point right of
  // the centre by d ends up above it by d. The centre lies on a pel corner,
  // so pel (cx + dx, cy + dy) goes to (cx + dy, cy - 1 - dx).
  scene.pose(kcSimPose{std::nullopt, std::nullopt, 90.0, 1.0});
  for (const auto& [dx, dy] : {std::pair{30, 0}, std::pair{-50, 20}, std::pair{12, -35}}) {
    const int cx = kW / 2, cy = kH / 2;
    EXPECT_NEAR(level(1).at<std::uint16_t>(cy - 1 - dx, cx + dy), unmoved.at<std::uint16_t>(cy + dy, cx + dx), 2.0)
        << dx << "," << dy;
  }
}

TEST_F(SimModel, ExposureFollowsTheLiteralModelOnEveryTap) {
  kcSimSensor sensor(kW, kH, 3, 0.0, 1);
  kcSimExposure s = settings(0.02, {0.2, 0.5, 0.9}, {0.0, 0.4, 0.7});
  for (int i = 0; i < 256; ++i) s.tables[2][i] = static_cast<unsigned char>(255 - i);
  const kc3PlanePelBuffer image = sensor.expose(scene.levels(), s, 1);
  const kcPelBuffer_const<unsigned char> planes[3] = {image.plane0(), image.plane1(), image.plane2()};
  int worst = 0;
  long off = 0;
  for (int k = 0; k < 3; ++k)
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const int expected = literalPel(level(k).at<std::uint16_t>(y, x), s, x * 3 / kW, k);
        const int diff = std::abs(planes[k].pointToRow(y)[x] - expected);
        worst = std::max(worst, diff);
        off += diff != 0;
      }
  EXPECT_LE(worst, 1);  // single- against double-precision rounding
  EXPECT_LT(off, 3 * kW * kH / 200);
}

TEST_F(SimModel, NoiseHasTheModelsSpreadAndNoBias) {
  kcSimSensor quiet(kW, kH, 1, 0.0, 1), noisy(kW, kH, 1, 1.0, 9);
  const kcSimExposure s = settings(0.025, {0.5}, {0.4});
  // Copies: the sensors reuse their frame memory.
  const cv::Mat clean = kfMatView(quiet.expose(scene.levels(), s, 1).plane1()).clone();
  const cv::Mat shot = kfMatView(noisy.expose(scene.levels(), s, 1).plane1()).clone();
  // The chart's dark card around the patches: a uniform region of known light.
  const cv::Rect card(0, 0, kW, 2);
  cv::Mat diff;
  cv::subtract(shot(card), clean(card), diff, cv::noArray(), CV_32F);
  cv::Scalar mean, sd;
  cv::meanStdDev(diff, mean, sd);

  const double p = s.exposure * kPhotonRate * level(1).at<std::uint16_t>(0, 0) / 65535.0;
  const double sigmaCodes = kAdcMax * std::sqrt(p / kFullWell + kReadNoise * kReadNoise);
  const double slope = (srgbEncode(p + 1e-4) - srgbEncode(p - 1e-4)) / 2e-4 * 255.0 / kAdcMax;
  const double expected = std::hypot(sigmaCodes * slope, std::sqrt(1.0 / 12));  // with 8-bit rounding
  EXPECT_NEAR(sd[0], expected, 0.2 * expected);
  EXPECT_NEAR(mean[0], 0.0, 0.15);
}

}  // namespace
