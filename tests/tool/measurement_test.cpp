#include "colc/tool/measurement.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "support/pose_scene.h"

using namespace colc_test;

namespace {

// Samples every pel of a w x h image at its centre: resampling copies it.
kcAffineSamplingParams wholeImage(int w, int h) {
  return {kcAffineRectangle(kcVector<2>(w * 0.5, h * 0.5), w, h, kcRadian(0), kcRadian(0)), w, h,
          kcAffineSamplingParams::eBilinear};
}

cv::Mat randomRgb(cv::RNG& rng, int low, int high) {
  cv::Mat rgb(48, 64, CV_8UC3);
  rng.fill(rgb, cv::RNG::UNIFORM, low, high);
  return rgb;
}

kcColorCalibrationParams pelMapping(bool allowed) {
  kcColorCalibrationParams params;
  params.allowPelMapping(allowed);
  return params;
}

}  // namespace

TEST(MeasureColorImages, SumsThePlanesDifferencesAndNoise) {
  cv::RNG rng(31);
  const cv::Mat reference = randomRgb(rng, 20, 200);
  // The acquisition is brighter by 3, 5 and 7 in planes 0, 1, 2; the
  // second acquisition differs from the first by noise in plane 1 only.
  const cv::Mat first = reference + cv::Scalar(3, 5, 7);
  cv::Mat noise(reference.size(), CV_8UC1), second = first.clone();
  rng.fill(noise, cv::RNG::UNIFORM, 0, 9);
  cv::Mat planes[3];
  cv::split(second, planes);
  planes[1] += noise;
  cv::merge(planes, 3, second);

  const kcColorCalibrationMeasurement m = kfMeasureColorImages(
      pelMapping(false), colourBufferOf(reference), wholeImage(64, 48), colourBufferOf(first), colourBufferOf(second));
  EXPECT_DOUBLE_EQ(m.differenceSum, 15.0);
  cv::Scalar mean, sDev;
  cv::meanStdDev(noise, mean, sDev);
  EXPECT_NEAR(m.noiseSDevSum, sDev[0], 1e-9);
  EXPECT_FALSE(m.pelMappingUsed);
  EXPECT_TRUE(m.results.results().empty());

  const kcColorCalibrationMeasurement same = kfMeasureColorImages(
      pelMapping(false), colourBufferOf(reference), wholeImage(64, 48), colourBufferOf(first), colourBufferOf(first));
  EXPECT_EQ(same.noiseSDevSum, 0.0);
}

TEST(MeasureColorImages, FitsEachPlaneOntoTheReferenceWhenPelMappingIsAllowed) {
  cv::RNG rng(32);
  const cv::Mat reference = randomRgb(rng, 30, 220);
  cv::Mat first;
  reference.convertTo(first, CV_8UC3, 0.8, 10.0);  // the fit maps it back: gain 1.25, offset -12.5
  const kcColorCalibrationMeasurement m = kfMeasureColorImages(
      pelMapping(true), colourBufferOf(reference), wholeImage(64, 48), colourBufferOf(first), colourBufferOf(first));
  EXPECT_TRUE(m.pelMappingUsed);
  ASSERT_EQ(m.results.results().size(), 3u);
  for (const auto& fit : m.results.results()) {
    EXPECT_NEAR(fit.gain(), 1.25, 0.02);
    EXPECT_NEAR(fit.offset(), -12.5, 2.0);
  }
}

TEST(MeasureColorImages, AFailedFitLeavesOnlyTheResultsEmpty) {
  // A fully overexposed acquisition has no unsaturated pel to fit.
  cv::RNG rng(33);
  const cv::Mat reference = randomRgb(rng, 30, 220);
  const cv::Mat white(reference.size(), CV_8UC3, cv::Scalar::all(255));
  const kcColorCalibrationMeasurement m = kfMeasureColorImages(
      pelMapping(true), colourBufferOf(reference), wholeImage(64, 48), colourBufferOf(white), colourBufferOf(white));
  EXPECT_TRUE(m.pelMappingUsed);
  EXPECT_TRUE(m.results.results().empty());
  const cv::Scalar expected = cv::mean(cv::Scalar::all(255) - reference);
  EXPECT_NEAR(m.differenceSum, expected[0] + expected[1] + expected[2], 1e-9);
}

TEST(MeasureColorImages, ImageFaultsReachTheCaller) {
  cv::RNG rng(34);
  const kc3PlanePelBuffer reference = colourBufferOf(randomRgb(rng, 0, 255));
  const kc3PlanePelBuffer first = colourBufferOf(randomRgb(rng, 0, 255));
  const kc3PlanePelBuffer smaller = colourBufferOf(cv::Mat(10, 10, CV_8UC3, cv::Scalar::all(1)));
  EXPECT_THROW(kfMeasureColorImages(pelMapping(true), reference, wholeImage(64, 48), first, smaller), kcBadArgument);
  EXPECT_THROW(kfMeasureColorImages(pelMapping(true), reference, wholeImage(64, 48), first, kc3PlanePelBuffer()),
               kcBadPointer);
  EXPECT_THROW(kfMeasureColorImages(pelMapping(true), smaller, wholeImage(64, 48), first, first), kcBadArgument);
}

TEST(PlaneDifferenceStats, WritesAllThreeOrNone) {
  cv::RNG rng(35);
  const kc3PlanePelBuffer a = colourBufferOf(randomRgb(rng, 0, 255));
  const kc3PlanePelBuffer b = colourBufferOf(randomRgb(rng, 0, 255));
  kcHistoStats s0, s1, s2;
  kfPlaneDifferenceStats(a, b, s0, s1, s2);
  cv::Mat diff;
  cv::absdiff(rgbOf(a), rgbOf(b), diff);
  const cv::Scalar mean = cv::mean(diff);
  EXPECT_NEAR(s0.mean(), mean[0], 1e-9);
  EXPECT_NEAR(s1.mean(), mean[1], 1e-9);
  EXPECT_NEAR(s2.mean(), mean[2], 1e-9);

  kcHistoStats t0 = s0, t1 = s1, t2 = s2;
  EXPECT_THROW(kfPlaneDifferenceStats(a, colourBufferOf(cv::Mat(5, 5, CV_8UC3)), t0, t1, t2), kcBadArgument);
  EXPECT_EQ(t0.mean(), s0.mean());
  EXPECT_EQ(t2.mean(), s2.mean());
}
