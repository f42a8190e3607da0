// The simulated camera: its options, its response to the settings, its
// noise and its manual trigger.
#include <gtest/gtest.h>

#include <chrono>
#include <opencv2/core.hpp>

#include "host/acq/sim/frame_clock.h"

#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

constexpr long kW = 240, kH = 160;  // the chart's own size

kcPtrHandle<kcInstrumentedAcqFifo> openCamera(const std::string& options = "noise=0") {
  kcSimCameraConfig config = kfParseSimCameraOptions("width=240,height=160," + options);
  config.target = kfSimTargetChart(kW);
  return kfOpenSimCamera(config);
}

void set(kcAcqFifo& fifo, double exposure, double contrast, double brightness) {
  fifo.properties().exposureProp().exposure(exposure);
  fifo.properties().contrastBrightnessProp().setContrastEx(contrast, kcContrastBrightnessProp::kAllTaps);
  fifo.properties().contrastBrightnessProp().setBrightnessEx(brightness, kcContrastBrightnessProp::kAllTaps);
}

cv::Mat stacked(const kc3PlanePelBuffer& image) {
  cv::Mat all;
  cv::vconcat(std::vector<cv::Mat>{kfMatView(image.plane0()), kfMatView(image.plane1()), kfMatView(image.plane2())},
              all);
  return all;
}

// A copy of the three planes, stacked, of the next image with the settings.
cv::Mat shoot(kcAcqFifo& fifo, double exposure, double contrast, double brightness) {
  set(fifo, exposure, contrast, brightness);
  fifo.start(0);
  return stacked(fifo.completeAcq({})->get3PlanePelBuffer());
}

cv::Mat plane(const cv::Mat& all, int k) { return all.rowRange(k * kH, (k + 1) * kH); }

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
      EXPECT_EQ(cv::countNonZero(plane(brighter, k) >= plane(darker, k)), kW * kH) << setting << " " << k;
    }
  }
  auto noisy = openCamera("noise=1");
  EXPECT_EQ(cv::countNonZero(shoot(*noisy, 10.0, 1.0, 1.0) != 255), 0);
  EXPECT_EQ(cv::countNonZero(shoot(*noisy, 0.0, 0.0, 0.0)), 0);
  // The top end of the exposures a search uses clips most of the image.
  const cv::Mat top = shoot(*noisy, 0.3, 1.0, 1.0);
  EXPECT_GT(cv::countNonZero(top == 255), 0.5 * static_cast<double>(top.total()));
}

TEST(SimCamera, SeedFixesTheImagesAndHeldImagesKeepTheirPels) {
  auto a = openCamera("noise=1,seed=4"), b = openCamera("noise=1,seed=4"), c = openCamera("noise=1,seed=5");
  a->start(0);
  const kcPtrHandle<kcAcqImage> held = a->completeAcq({});
  const cv::Mat a1 = stacked(held->get3PlanePelBuffer()).clone(), a2 = shoot(*a, 0.01, 0.5, 0.5);
  EXPECT_EQ(cv::norm(a1, shoot(*b, 0.01, 0.5, 0.5), cv::NORM_INF), 0);
  EXPECT_EQ(cv::norm(a2, shoot(*b, 0.01, 0.5, 0.5), cv::NORM_INF), 0);
  EXPECT_GT(cv::norm(a1, a2, cv::NORM_L1), 0);  // each frame has noise of its own
  EXPECT_GT(cv::norm(a1, shoot(*c, 0.01, 0.5, 0.5), cv::NORM_L1), 0);
  for (int i = 0; i < 6; ++i) shoot(*a, 0.02 + 0.01 * i, 0.7, 0.2);
  EXPECT_EQ(cv::norm(stacked(held->get3PlanePelBuffer()), a1, cv::NORM_INF), 0);
}

TEST(SimCamera, ManualTriggerLatchesSettingsAndQueues) {
  auto fifo = openCamera();
  const cv::Mat dim = shoot(*fifo, 0.004, 0.5, 0.5), bright = shoot(*fifo, 0.016, 0.5, 0.5);
  fifo->triggerModel(kfManualTrigger());
  for (double e : {0.004, 0.01, 0.016}) {
    set(*fifo, e, 0.5, 0.5);
    fifo->start(0);
  }
  set(*fifo, 0.05, 0.9, 0.9);  // after the starts: no effect on them
  const auto next = [&](bool latestOnly) {
    return stacked(fifo->completeAcq({true, 1.0, latestOnly, nullptr, nullptr})->get3PlanePelBuffer());
  };
  EXPECT_EQ(cv::norm(next(false), dim), 0);
  EXPECT_EQ(cv::norm(next(true), bright), 0);
  EXPECT_THROW(next(false), kcTimeout::Expired);  // nothing started: nothing to wait for
}

// Every delivered frame costs its exposure and one read-out; the default
// read-out is that of a 1280 x 1024 camera at 30 fps, faster for fewer pels.
TEST(SimCamera, FrameClockCountsExposurePlusReadOutAndSleepsOnlyWhenAsked) {
  EXPECT_DOUBLE_EQ(kfDefaultReadoutFps(1280, 1024), 30.0);
  EXPECT_DOUBLE_EQ(kfDefaultReadoutFps(640, 512), 120.0);
  auto counting = openCamera("noise=0,fps=20");
  EXPECT_EQ(kfSimCameraTime(counting)->camera, 0.0);
  shoot(*counting, 0.004, 0.5, 0.5);
  shoot(*counting, 0.016, 0.5, 0.5);
  EXPECT_NEAR(kfSimCameraTime(counting)->camera, 0.004 + 0.016 + 2 / 20.0, 1e-12);
  EXPECT_EQ(kfSimCameraTime(counting)->slept, 0.0);
  // The camera itself, unwrapped, keeps the same clock; other FIFOs keep none.
  EXPECT_EQ(kfSimCameraTime(counting->inner())->camera, kfSimCameraTime(counting)->camera);
  EXPECT_FALSE(kfSimCameraTime(kcPtrHandle<kcAcqFifo>(new kcInstrumentedAcqFifo(counting))));

  auto sleeping = openCamera("noise=0,fps=20,sleep=1");
  const auto started = std::chrono::steady_clock::now();
  shoot(*sleeping, 0.05, 0.5, 0.5);
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 0.1);
  EXPECT_NEAR(kfSimCameraTime(sleeping)->slept, 0.1, 1e-12);
}

TEST(SimCameraOptions, KeysReachTheirFields) {
  const kcSimCameraConfig c = kfParseSimCameraOptions(
      "width=320, height=200,seed=7,x=10.5,rotation=-5,scale=0.8,noise=0.5,crosstalk=0.1,taps=2,cancel-at=6,"
      "blur=0.7,integrate=0,fps=12.5,sleep=1,shading=0.25,exposure=0.002,contrast=0,brightness=0.7,tilt=25,"
      "tilt-axis=-30,focal=900,distortion=-0.1,sensitivity=0.8");
  EXPECT_EQ(std::make_tuple(c.width, c.height, c.seed, c.pose.x, c.pose.y, c.pose.rotation, c.pose.scale),
            std::make_tuple(320L, 200L, 7UL, std::optional(10.5), std::optional<double>(), -5.0, 0.8));
  EXPECT_EQ(std::make_tuple(c.noise, c.crossTalk, c.taps, c.faults.cancelAt, c.faults.failAt, c.blur, c.integrate),
            std::make_tuple(0.5, 0.1, 2, 6UL, 0UL, 0.7, false));
  EXPECT_EQ(std::make_tuple(c.readoutFps, c.sleep, c.shading), std::make_tuple(std::optional(12.5), true, 0.25));
  EXPECT_EQ(std::make_tuple(c.exposure, c.contrast, c.brightness), std::make_tuple(0.002, 0.0, 0.7));
  EXPECT_EQ(std::make_tuple(c.pose.tilt, c.pose.tiltAxis, c.focal, c.distortion),
            std::make_tuple(25.0, -30.0, std::optional(900.0), -0.1));
  EXPECT_EQ(c.sensitivity, 0.8);
}

// A camera opens with the settings it was given, and its first free-running
// frame is the one it takes when they are set after opening.
TEST(SimCameraOptions, OpeningSettingsAreTheCamerasOwn) {
  auto camera = openCamera("taps=2,exposure=0.03,contrast=0.8,brightness=0.35");
  EXPECT_EQ(camera->properties().exposureProp().exposure(), 0.03);
  for (const auto tap : {kcContrastBrightnessProp::eTap0, kcContrastBrightnessProp::eTap1})
    EXPECT_EQ(std::make_pair(camera->properties().contrastBrightnessProp().contrast(tap),
                             camera->properties().contrastBrightnessProp().brightness(tap)),
              std::make_pair(0.8, 0.35));
  const cv::Mat opened = stacked(camera->completeAcq({})->get3PlanePelBuffer());
  auto reset = openCamera("taps=2");
  set(*reset, 0.03, 0.8, 0.35);
  EXPECT_EQ(cv::norm(opened, stacked(reset->completeAcq({})->get3PlanePelBuffer()), cv::NORM_INF), 0.0);
}

TEST(SimCameraOptions, RefusalsNameTheKey) {
  for (const std::string options : {"colour=1", "seed=-1", "scale=abc", "x=inf", "width=12.5", "noise", "seed=1,seed=2",
                                    "rotation=", "width=8", "scale=0", "crosstalk=0.6", "taps=5", "blur=-0.1",
                                    "blur=9", "integrate=2", "integrate=on", "fps=0", "fps=-30", "sleep=2",
                                    "shading=-0.1", "shading=0.95", "exposure=0", "exposure=11", "exposure=nan",
                                    "contrast=1.5", "contrast=-0.1", "brightness=2", "brightness=x", "tilt=-1",
                                    "tilt=61", "tilt-axis=inf", "focal=0", "focal=-500", "distortion=0.31",
                                    "distortion=-0.5", "sensitivity=0", "sensitivity=4.5"}) {
    const std::string key = options.substr(0, options.find_first_of("=,"));
    try {
      kfOpenSimCamera(options);
      ADD_FAILURE() << options << " accepted";
    } catch (const kcBadArgument& e) {
      EXPECT_NE(std::string(e.what()).find(key), std::string::npos) << options << " -> " << e.what();
    }
  }
}

}  // namespace
