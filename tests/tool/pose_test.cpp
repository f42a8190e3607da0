#include "colc/tool/pose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "colc/records/errors.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kChart(200, 150);
const cv::Size kScene(640, 480);

// Largest distance between the corners of the sampled rectangle and where
// the true pose puts the corners of the chart's inner rectangle (3 pels in).
double samplingCornerError(const kcAffineSamplingParams& sampling, const kcXform<2>& truth, cv::Size chart) {
  const kcAffineRectangle& r = sampling.affineRectangle();
  const double hw = (chart.width - 6) * 0.5, hh = (chart.height - 6) * 0.5;
  const kcVector<2> found[4] = {r.origin(), r.origin() + r.xSide(), r.origin() + r.ySide(),
                                r.origin() + r.xSide() + r.ySide()};
  const kcVector<2> inner[4] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
  double worst = 0.0;
  for (int i = 0; i < 4; ++i) worst = std::max(worst, (found[i] - truth.mapPoint(inner[i])).length());
  return worst;
}

double meanAbsDifference(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  cv::Mat diff;
  cv::absdiff(rgbOf(a), rgbOf(b), diff);
  const cv::Scalar m = cv::mean(diff);
  return (m[0] + m[1] + m[2]) / 3.0;
}

void expectNoPatternFound(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibration, const char* what) {
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  sampling.xNumSamples(77);
  try {
    kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
    ADD_FAILURE() << what << ": found a pose";
  } catch (const kcColorCalibrationDefs::BadImages& e) {
    EXPECT_EQ(e.text(), "No pattern found") << what;
  }
  EXPECT_FALSE(reference.isBound()) << what;
  EXPECT_EQ(sampling.xNumSamples(), 77) << what;
}

}  // namespace

TEST(FindCalibrationPose, FindsTheTargetAtRandomPosesToAQuarterPel) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kc3PlanePelBuffer calibration = colourBufferOf(chart);
  cv::RNG rng(21);
  const char* text = std::getenv("COLC_POSE_TRIALS");
  const int trials = text ? std::max(1, std::atoi(text)) : 6;
  std::vector<double> errors, millis;
  for (int t = 0; t < trials; ++t) {
    const TargetPose truth = randomPose(kChart, kScene, rng);
    CameraLook look;
    look.gain = {rng.uniform(0.6, 1.4), rng.uniform(0.6, 1.4), rng.uniform(0.6, 1.4)};
    look.offset = {rng.uniform(-20.0, 20.0), rng.uniform(-20.0, 20.0), rng.uniform(-20.0, 20.0)};
    look.noiseSigma = rng.uniform(1.0, 4.0);
    const kc3PlanePelBuffer acquired =
        colourBufferOf(renderScene(chart, makeBackground(kScene, rng), truth, look, rng));
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    const auto start = std::chrono::steady_clock::now();
    kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
    millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    errors.push_back(samplingCornerError(sampling, truth.xform(), kChart));
    EXPECT_LT(errors.back(), 0.25) << "trial " << t << ": " << truth.rotationDegrees << " degrees, scale "
                                   << truth.scale;
    // 194 x 144 inner pels, capped to about 150 x 150 samples.
    EXPECT_EQ(reference.width(), 174);
    EXPECT_EQ(reference.height(), 129);
    EXPECT_EQ(sampling.xNumSamples(), 174);
    EXPECT_EQ(sampling.yNumSamples(), 129);
  }
  std::sort(errors.begin(), errors.end());
  std::sort(millis.begin(), millis.end());
  std::printf("pose corner error over %d poses: median %.3f, 90%% %.3f, max %.3f pel; median %.0f ms\n", trials,
              errors[errors.size() / 2], errors[errors.size() * 9 / 10], errors.back(), millis[millis.size() / 2]);
}

TEST(FindCalibrationPose, AnAcquisitionEqualToTheCalibrationImageIsACentredTranslation) {
  for (const cv::Size size : {cv::Size(160, 120), cv::Size(640, 480)}) {
    const kc3PlanePelBuffer calibration = colourBufferOf(makeTargetChart(size));
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    kfFindCalibrationPose(calibration, calibration, reference, sampling, nullptr, 0);
    const kcXform<2> centred(kcMatrix<2>(), kcVector<2>(size.width * 0.5, size.height * 0.5));
    EXPECT_LT(samplingCornerError(sampling, centred, size), 0.05) << size;
    EXPECT_LT(meanAbsDifference(kfAffineTransformColorImage(calibration, sampling), reference), 1.0) << size;
  }
  // The grids: 154 x 114 uncapped, 173 x 129 capped.
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  const kc3PlanePelBuffer small = colourBufferOf(makeTargetChart({160, 120}));
  kfFindCalibrationPose(small, small, reference, sampling, nullptr, 0);
  EXPECT_EQ(reference.width() * 1000 + reference.height(), 154114);
  EXPECT_EQ(sampling.xNumSamples() * 1000 + sampling.yNumSamples(), 154114);
}

TEST(FindCalibrationPose, CoordinatesOfTheAcquisitionAreKeptAndThoseOfTheCalibrationImageIgnored) {
  const cv::Mat chart = makeTargetChart(kChart);
  cv::RNG rng(22);
  const TargetPose truth{12.0, 1.1, {300.0, 220.0}};
  kc3PlanePelBuffer acquired =
      colourBufferOf(renderScene(chart, makeBackground(kScene, rng), truth, CameraLook(), rng));
  acquired.offset(-50, 30);
  const kcXform<2> acquiredClient(kcMatrix<2>(), kcVector<2>(4.0, -6.0));
  acquired.clientFromImageXform(acquiredClient);
  // A calibration image placed and scaled elsewhere, shown through a window.
  cv::Mat padded;
  cv::copyMakeBorder(chart, padded, 5, 2, 9, 1, cv::BORDER_CONSTANT, cv::Scalar(255, 0, 0));
  kc3PlanePelBuffer calibration = colourBufferOf(padded);
  calibration.offset(100, 200);
  calibration.window(kcPelRect(109, 205, 109 + kChart.width, 205 + kChart.height), false);
  calibration.clientFromImageXform(kcXform<2>(kcMatrix<2>(3.0, 0.0, 0.0, 3.0), kcVector<2>(1.0, 2.0)));

  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
  const kcXform<2> shifted = acquiredClient * kcXform<2>(kcMatrix<2>(), kcVector<2>(-50.0, 30.0)) * truth.xform();
  EXPECT_LT(samplingCornerError(sampling, shifted, kChart), 0.25);
  EXPECT_LT(
      meanAbsDifference(reference, kfAffineTransformColorImage(colourBufferOf(chart),
                                                               [&] {
                                                                 kcAffineSamplingParams plain(
                                                                     kcAffineRectangle(kcVector<2>(100.0, 75.0), 194.0,
                                                                                       144.0, kcRadian(0), kcRadian(0)),
                                                                     174, 129, kcAffineSamplingParams::eBilinear);
                                                                 return plain;
                                                               }())),
      1e-9);
}

TEST(FindCalibrationPose, ScenesWithoutTheTargetWithinTheZonesFindNoPattern) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kc3PlanePelBuffer calibration = colourBufferOf(chart);
  cv::RNG rng(23);
  expectNoPatternFound(colourBufferOf(makeBackground(kScene, rng)), calibration, "background");
  cv::Mat noise(kScene, CV_8UC3);
  rng.fill(noise, cv::RNG::NORMAL, 128, 40);
  expectNoPatternFound(colourBufferOf(noise), calibration, "noise");
  expectNoPatternFound(colourBufferOf(renderScene(makeOtherChart(kChart), makeBackground(kScene, rng),
                                                  randomPose(kChart, kScene, rng), CameraLook(), rng)),
                       calibration, "another chart");
  const cv::Mat background = makeBackground(kScene, rng);
  expectNoPatternFound(colourBufferOf(renderScene(chart, background, {30.0, 1.0, {320, 240}}, CameraLook(), rng)),
                       calibration, "turned 30 degrees");
  expectNoPatternFound(colourBufferOf(renderScene(chart, background, {-3.0, 1.35, {320, 240}}, CameraLook(), rng)),
                       calibration, "scaled 1.35");
  expectNoPatternFound(colourBufferOf(renderScene(chart, background, {3.0, 0.68, {320, 240}}, CameraLook(), rng)),
                       calibration, "scaled 0.68");
}

TEST(FindCalibrationPose, RefusesUnusableImagesAndLeavesTheOutputsAlone) {
  const kc3PlanePelBuffer calibration = colourBufferOf(makeTargetChart(kChart));
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  sampling.yNumSamples(5);
  const kc3PlanePelBuffer narrow = colourBufferOf(cv::Mat(40, 6, CV_8UC3, cv::Scalar(10, 200, 90)));
  const kc3PlanePelBuffer low = colourBufferOf(cv::Mat(6, 40, CV_8UC3, cv::Scalar(10, 200, 90)));
  EXPECT_THROW(kfFindCalibrationPose(calibration, narrow, reference, sampling, nullptr, 0),
               kcColorCalibrationDefs::BadImages);
  EXPECT_THROW(kfFindCalibrationPose(calibration, low, reference, sampling, nullptr, 0),
               kcColorCalibrationDefs::BadImages);
  EXPECT_THROW(kfFindCalibrationPose(kc3PlanePelBuffer(), calibration, reference, sampling, nullptr, 0), kcBadPointer);
  EXPECT_THROW(kfFindCalibrationPose(calibration, kc3PlanePelBuffer(), reference, sampling, nullptr, 0), kcBadPointer);
  EXPECT_FALSE(reference.isBound());
  EXPECT_EQ(sampling.yNumSamples(), 5);
}

TEST(FindCalibrationPose, ReferenceGridSizes) {
  struct Row {
    long w, h, xSamples, ySamples;
    bool capped;
  };
  const Row table[] = {{160, 120, 154, 114, false}, {156, 156, 150, 150, false}, {157, 156, 150, 149, true},
                       {640, 480, 173, 129, true},  {1024, 768, 173, 129, true}, {10006, 10, 7500, 3, true},
                       {20006, 8, 20000, 2, false}};
  for (const Row& row : table) {
    const kcReferenceGridSize grid = kfReferenceGridSize(row.w - 6.0, row.h - 6.0);
    EXPECT_EQ(grid.xSamples, row.xSamples) << row.w << " x " << row.h;
    EXPECT_EQ(grid.ySamples, row.ySamples) << row.w << " x " << row.h;
    EXPECT_EQ(grid.capped, row.capped) << row.w << " x " << row.h;
  }
}

TEST(ColorImageHelpers, KeepThePlaneOrder) {
  cv::Mat rgb(30, 40, CV_8UC3, cv::Scalar(200, 100, 20));
  const kc3PlanePelBuffer image = colourBufferOf(rgb);
  const kcAffineSamplingParams half(kcAffineRectangle(kcVector<2>(20.0, 15.0), 20.0, 10.0, kcRadian(0), kcRadian(0)),
                                    10, 5, kcAffineSamplingParams::eBilinear);
  const kc3PlanePelBuffer sampled = kfAffineTransformColorImage(image, half);
  ASSERT_EQ(sampled.width(), 10);
  ASSERT_EQ(sampled.height(), 5);
  EXPECT_EQ(sampled.plane0().pointToRow(0)[0], 200);
  EXPECT_EQ(sampled.plane1().pointToRow(0)[0], 100);
  EXPECT_EQ(sampled.plane2().pointToRow(0)[0], 20);
  const kcPelBuffer<unsigned char> grey = kfIntensityImage(image);
  EXPECT_EQ(grey.pointToRow(0)[0], 121);  // 0.299 * 200 + 0.587 * 100 + 0.114 * 20 = 120.78
}
