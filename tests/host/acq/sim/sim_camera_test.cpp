#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "host/acq/sim/sim_fifo.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

constexpr long kW = 240, kH = 160;  // the chart's own size

kcPtrHandle<kcInstrumentedAcqFifo> openCamera(const std::string& options = "noise=0") {
  kcSimCameraConfig config = kfParseSimCameraOptions("width=240,height=160," + options);
  config.target = kfSimTargetChart(kW);
  return kfOpenSimCamera(config);
}

kcSimAcqFifo& sim(const kcPtrHandle<kcInstrumentedAcqFifo>& fifo) {
  return dynamic_cast<kcSimAcqFifo&>(*fifo->inner());
}

void set(kcAcqFifo& fifo, double exposure, double contrast, double brightness) {
  fifo.properties().exposureProp().exposure(exposure);
  fifo.properties().contrastBrightnessProp().setContrastEx(contrast, kcContrastBrightnessProp::kAllTaps);
  fifo.properties().contrastBrightnessProp().setBrightnessEx(brightness, kcContrastBrightnessProp::kAllTaps);
}

kcPtrHandle<kcAcqImage> complete(kcAcqFifo& fifo, kcAcquireInfo* info = nullptr, bool latestOnly = false,
                                 unsigned long* queued = nullptr) {
  return fifo.completeAcq({true, 1.0, latestOnly, queued, info});
}

// An independent copy of the three planes, stacked, with the settings.
cv::Mat shoot(kcAcqFifo& fifo, double exposure, double contrast, double brightness) {
  set(fifo, exposure, contrast, brightness);
  const kc3PlanePelBuffer image = complete(fifo)->get3PlanePelBuffer();
  cv::Mat stacked;
  cv::vconcat(std::vector<cv::Mat>{kfMatView(image.plane0()), kfMatView(image.plane1()), kfMatView(image.plane2())},
              stacked);
  return stacked;
}

cv::Mat plane(const cv::Mat& stacked, int k) { return stacked.rowRange(k * kH, (k + 1) * kH); }
cv::Mat plane(const kc3PlanePelBuffer& image, int k) {
  return kfMatView(k == 0 ? image.plane0() : k == 1 ? image.plane1() : image.plane2());
}

TEST(SimCamera, EverySettingRaisesTheImageAndBothEndsSaturate) {
  auto fifo = openCamera();
  const double low[3] = {0.005, 0.3, 0.3}, high[3] = {0.02, 0.7, 0.7};
  for (int setting = 0; setting < 3; ++setting) {
    double a[3] = {0.01, 0.5, 0.5}, b[3] = {0.01, 0.5, 0.5};
    a[setting] = low[setting];
    b[setting] = high[setting];
    const cv::Mat darker = shoot(*fifo, a[0], a[1], a[2]), brighter = shoot(*fifo, b[0], b[1], b[2]);
    for (int k = 0; k < 3; ++k) {
      EXPECT_LT(cv::mean(plane(darker, k))[0] + 3, cv::mean(plane(brighter, k))[0]) << setting << " " << k;
      cv::Mat notDarker;
      cv::compare(plane(brighter, k), plane(darker, k), notDarker, cv::CMP_GE);
      EXPECT_EQ(cv::countNonZero(notDarker), kW * kH) << setting << " " << k;
    }
  }
  auto noisy = openCamera("noise=1");
  double lo, hi;
  cv::minMaxLoc(shoot(*noisy, 10.0, 1.0, 1.0), &lo, &hi);
  EXPECT_EQ(lo, 255.0);
  cv::minMaxLoc(shoot(*noisy, 0.0, 0.0, 0.0), &lo, &hi);
  EXPECT_EQ(hi, 0.0);
  // The top end of the exposures a search uses clips most of the image.
  const cv::Mat top = shoot(*noisy, 0.3, 1.0, 1.0);
  EXPECT_GT(cv::countNonZero(top == 255), 0.5 * static_cast<double>(top.total()));
}

// The mean absolute difference of the camera's plane k from the chart's,
// after the best gain and offset for that plane.
double residual(const cv::Mat& camera, const cv::Mat& chart) {
  cv::Mat x, y;
  camera.reshape(1, static_cast<int>(camera.total())).convertTo(x, CV_64F);
  chart.reshape(1, static_cast<int>(chart.total())).convertTo(y, CV_64F);
  cv::Mat a;
  cv::hconcat(x, cv::Mat::ones(x.rows, 1, CV_64F), a);
  cv::Mat fit;
  cv::solve(a, y, fit, cv::DECOMP_SVD);
  return cv::norm(a * fit, y, cv::NORM_L1) / static_cast<double>(y.rows);
}

TEST(SimCamera, DefaultsAreOffAndTheReferenceIsReachable) {
  auto fifo = openCamera();
  const kc3PlanePelBuffer chart = kfSimTargetChart(kW);
  const cv::Mat atDefaults = shoot(*fifo, 0.01, 0.5, 0.5), atBest = shoot(*fifo, 0.025, 0.5, 0.4);
  for (int k = 0; k < 3; ++k) {
    const double before = cv::norm(plane(atDefaults, k), plane(chart, k), cv::NORM_L1) / (kW * kH);
    EXPECT_GT(before, 20.0) << k;
    EXPECT_LT(residual(plane(atBest, k), plane(chart, k)), 4.0) << k;
  }
  EXPECT_LT(cv::norm(plane(atBest, 1), plane(chart, 1), cv::NORM_L1) / (kW * kH), 4.0);
  // The planes' sensitivities differ: red and blue need their own gain.
  EXPECT_GT(cv::norm(plane(atBest, 2), plane(chart, 2), cv::NORM_L1) / (kW * kH), 10.0);
}

TEST(SimCamera, SeedFixesTheImages) {
  auto a = openCamera("noise=1,seed=4"), b = openCamera("noise=1,seed=4"), c = openCamera("noise=1,seed=5");
  const cv::Mat a1 = shoot(*a, 0.02, 0.5, 0.5), a2 = shoot(*a, 0.02, 0.5, 0.5);
  EXPECT_EQ(cv::norm(a1, shoot(*b, 0.02, 0.5, 0.5), cv::NORM_INF), 0.0);
  EXPECT_EQ(cv::norm(a2, shoot(*b, 0.02, 0.5, 0.5), cv::NORM_INF), 0.0);
  EXPECT_GT(cv::norm(a1, a2, cv::NORM_L1), 0.0);  // each frame has noise of its own
  EXPECT_GT(cv::norm(a1, shoot(*c, 0.02, 0.5, 0.5), cv::NORM_L1), 0.0);
  auto quiet = openCamera();
  EXPECT_EQ(cv::norm(shoot(*quiet, 0.02, 0.5, 0.5), shoot(*quiet, 0.02, 0.5, 0.5), cv::NORM_INF), 0.0);
}

TEST(SimCamera, TapsAreStripesWithTheirOwnSettings) {
  auto fifo = openCamera("noise=0,taps=2");
  const cv::Mat low = shoot(*fifo, 0.02, 0.2, 0.3), high = shoot(*fifo, 0.02, 0.8, 0.6);
  fifo->properties().contrastBrightnessProp().setContrastEx(0.8, 0b10);
  fifo->properties().contrastBrightnessProp().setBrightnessEx(0.6, 0b10);
  fifo->properties().contrastBrightnessProp().setContrastEx(0.2, 0b01);
  fifo->properties().contrastBrightnessProp().setBrightnessEx(0.3, 0b01);
  const kc3PlanePelBuffer mixed = complete(*fifo)->get3PlanePelBuffer();
  const cv::Rect left(0, 0, kW / 2, kH), right(kW / 2, 0, kW / 2, kH);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(cv::norm(plane(mixed, k)(left), plane(low, k)(left), cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(plane(mixed, k)(right), plane(high, k)(right), cv::NORM_INF), 0.0);
  }
}

TEST(SimCamera, HeldImagesKeepTheirPels) {
  auto fifo = openCamera();
  set(*fifo, 0.01, 0.5, 0.5);
  const kcPtrHandle<kcAcqImage> held = complete(*fifo);
  const cv::Mat before = plane(held->get3PlanePelBuffer(), 1).clone();
  for (int i = 0; i < 6; ++i) shoot(*fifo, 0.02 + 0.01 * i, 0.7, 0.2);
  EXPECT_EQ(cv::norm(plane(held->get3PlanePelBuffer(), 1), before, cv::NORM_INF), 0.0);
}

TEST(SimCamera, MovingTheTargetRendersAnewAndBack) {
  auto fifo = openCamera();
  const cv::Mat first = shoot(*fifo, 0.02, 0.5, 0.5);
  sim(fifo).pose(kcSimPose{100.0, 90.0, 12.0, 0.7});
  const cv::Mat moved = shoot(*fifo, 0.02, 0.5, 0.5);
  EXPECT_GT(cv::norm(first, moved, cv::NORM_L1), 1000.0);
  sim(fifo).pose(kcSimPose{});
  EXPECT_EQ(cv::norm(first, shoot(*fifo, 0.02, 0.5, 0.5), cv::NORM_INF), 0.0);
  EXPECT_THROW(sim(fifo).pose(kcSimPose{0.0, 0.0, 0.0, 0.0}), kcBadArgument);
}

TEST(SimCameraTrigger, ManualStartLatchesTheSettings) {
  auto fifo = openCamera();
  const cv::Mat expected = shoot(*fifo, 0.005, 0.5, 0.5);
  fifo->triggerModel(kfManualTrigger());
  set(*fifo, 0.005, 0.5, 0.5);
  ASSERT_TRUE(fifo->start(0));
  set(*fifo, 0.05, 0.9, 0.9);
  kcAcquireInfo info;
  const kc3PlanePelBuffer image = complete(*fifo, &info)->get3PlanePelBuffer();
  EXPECT_EQ(cv::norm(plane(image, 0), plane(expected, 0), cv::NORM_INF), 0.0);
  EXPECT_EQ(info.sequence(), 2u);
  EXPECT_EQ(info.failure().status(), 0);
  EXPECT_THROW(fifo->start(1), kcBadArgument);
}

TEST(SimCameraTrigger, NothingStartedNothingDelivered) {
  auto fifo = openCamera();
  EXPECT_TRUE(complete(*fifo)->isBound());  // free-running on opening
  fifo->triggerEnable(false);
  EXPECT_FALSE(fifo->start(0));
  EXPECT_THROW(complete(*fifo), kcTimeout::Expired);
  kcAcquireInfo info;
  EXPECT_TRUE(fifo->completeAcq({false, 1.0, false, nullptr, &info}).isNull());
  EXPECT_EQ(info.failure().status(), kcAcqFailure::eTimedOut);

  fifo->triggerEnable(true);
  fifo->triggerModel(kfManualTrigger());
  EXPECT_THROW(complete(*fifo), kcTimeout::Expired);
  fifo->start(0);
  fifo->triggerModel(kfFreeRunTrigger());
  fifo->triggerModel(kfManualTrigger());
  EXPECT_THROW(complete(*fifo), kcTimeout::Expired);  // the change of model dropped it
}

TEST(SimCameraTrigger, QueueDeliversInOrderOrOnlyTheLatest) {
  auto fifo = openCamera();
  fifo->triggerModel(kfManualTrigger());
  const double exposures[] = {0.004, 0.008, 0.012, 0.016};
  for (double e : exposures) {
    set(*fifo, e, 0.5, 0.5);
    fifo->start(0);
  }
  unsigned long queued = 99;
  const double firstMean = cv::mean(plane(complete(*fifo, nullptr, false, &queued)->get3PlanePelBuffer(), 1))[0];
  EXPECT_EQ(queued, 3u);
  const double lastMean = cv::mean(plane(complete(*fifo, nullptr, true, &queued)->get3PlanePelBuffer(), 1))[0];
  EXPECT_EQ(queued, 0u);
  const cv::Mat last = shoot(*openCamera(), exposures[3], 0.5, 0.5);
  EXPECT_LT(firstMean, lastMean);
  EXPECT_DOUBLE_EQ(lastMean, cv::mean(plane(last, 1))[0]);
}

}  // namespace
