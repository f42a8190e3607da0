#include "colc/tool/measurement.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "host/imaging/cv_bridge.h"

namespace {

// Samples every pel of a 64 x 48 image at its centre: resampling copies it.
const kcAffineSamplingParams kWhole(kcAffineRectangle(kcVector<2>(32.0, 24.0), 64.0, 48.0, kcRadian(0), kcRadian(0)),
                                    64, 48, kcAffineSamplingParams::eBilinear);

cv::Mat randomImage(cv::RNG& rng, int low, int high) {
  cv::Mat bgr(48, 64, CV_8UC3);
  rng.fill(bgr, cv::RNG::UNIFORM, low, high);
  return bgr;
}

kcColorCalibrationParams pelMapping(bool allowed) {
  kcColorCalibrationParams params;
  params.allowPelMapping(allowed);
  return params;
}

kcColorCalibrationMeasurement measure(bool pelMap, const cv::Mat& reference, const cv::Mat& first,
                                      const cv::Mat& second) {
  return kfMeasureColorImages(pelMapping(pelMap), kf3PlanePelBufferFromBGR(reference), kWhole,
                              kf3PlanePelBufferFromBGR(first), kf3PlanePelBufferFromBGR(second));
}

}  // namespace

TEST(MeasureColorImages, SumsThePlanesDifferencesAndTheNoise) {
  cv::RNG rng(31);
  const cv::Mat reference = randomImage(rng, 20, 200);
  const cv::Mat first = reference + cv::Scalar(3, 5, 7);
  // The second acquisition differs by noise in one plane only.
  cv::Mat noise(reference.size(), CV_8UC1), second = first.clone(), planes[3];
  rng.fill(noise, cv::RNG::UNIFORM, 0, 9);
  cv::split(second, planes);
  planes[1] += noise;
  cv::merge(planes, 3, second);
  cv::Scalar mean, sDev;
  cv::meanStdDev(noise, mean, sDev);

  const kcColorCalibrationMeasurement m = measure(false, reference, first, second);
  EXPECT_DOUBLE_EQ(m.differenceSum, 15.0);
  EXPECT_NEAR(m.noiseSDevSum, sDev[0], 1e-9);
  EXPECT_FALSE(m.pelMappingUsed);
  EXPECT_TRUE(m.results.results().empty());
  EXPECT_EQ(measure(false, reference, first, first).noiseSDevSum, 0.0);
}

// The quick search measures single views: the same figures as the first
// image of a pair, without a noise figure.
TEST(MeasureColorImages, AViewAloneMeasuresAsTheFirstImageOfAPair) {
  cv::RNG rng(34);
  const cv::Mat reference = randomImage(rng, 30, 220);
  cv::Mat first;
  cv::multiply(reference, cv::Scalar(0.8, 0.7, 0.6), first);
  const cv::Mat second = first + randomImage(rng, 0, 5);
  const kcColorCalibrationMeasurement pair = measure(true, reference, first, second);
  const kcColorCalibrationMeasurement alone =
      kfMeasureColorView(pelMapping(true), kf3PlanePelBufferFromBGR(reference), kf3PlanePelBufferFromBGR(first));
  EXPECT_GT(pair.noiseSDevSum, 0.0);
  EXPECT_EQ(alone.noiseSDevSum, 0.0);
  EXPECT_EQ(alone.differenceSum, pair.differenceSum);
  EXPECT_TRUE(alone.pelMappingUsed);
  ASSERT_EQ(alone.results.results().size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(alone.results.results()[k].gain(), pair.results.results()[k].gain());
    EXPECT_EQ(alone.results.results()[k].offset(), pair.results.results()[k].offset());
    EXPECT_EQ(alone.results.results()[k].rmsError(), pair.results.results()[k].rmsError());
  }
}

TEST(MeasureColorImages, FitsEachPlaneOrLeavesTheFitsEmptyWhenTheFitFails) {
  cv::RNG rng(32);
  const cv::Mat reference = randomImage(rng, 30, 220);
  // Planes (blue, green, red order here) darkened by 0.8, 0.7 and 0.6: the
  // fits of planes 0, 1, 2 (red, green, blue) undo 0.6, 0.7 and 0.8.
  cv::Mat first;
  cv::multiply(reference, cv::Scalar(0.8, 0.7, 0.6), first);
  const kcColorCalibrationMeasurement m = measure(true, reference, first, first);
  EXPECT_TRUE(m.pelMappingUsed);
  ASSERT_EQ(m.results.results().size(), 3u);
  EXPECT_NEAR(m.results.results()[0].gain(), 1 / 0.6, 0.03);
  EXPECT_NEAR(m.results.results()[1].gain(), 1 / 0.7, 0.03);
  EXPECT_NEAR(m.results.results()[2].gain(), 1 / 0.8, 0.03);

  // A fully overexposed acquisition has no unsaturated pel to fit.
  const cv::Mat white(reference.size(), CV_8UC3, cv::Scalar::all(255));
  const kcColorCalibrationMeasurement failed = measure(true, reference, white, white);
  EXPECT_TRUE(failed.pelMappingUsed);
  EXPECT_TRUE(failed.results.results().empty());
  const cv::Scalar expected = cv::mean(cv::Scalar::all(255) - reference);
  EXPECT_NEAR(failed.differenceSum, expected[0] + expected[1] + expected[2], 1e-9);
}

TEST(MeasureColorImages, ImageFaultsReachTheCallerAndLeaveTheStatisticsAlone) {
  cv::RNG rng(33);
  const cv::Mat image = randomImage(rng, 0, 255), smaller(10, 10, CV_8UC3, cv::Scalar::all(1));
  EXPECT_THROW(measure(true, image, image, smaller), kcBadArgument);
  EXPECT_THROW(measure(true, smaller, image, image), kcBadArgument);
  EXPECT_THROW(kfMeasureColorImages(pelMapping(true), kf3PlanePelBufferFromBGR(image), kWhole,
                                    kf3PlanePelBufferFromBGR(image), kc3PlanePelBuffer()),
               kcBadPointer);

  const kc3PlanePelBuffer a = kf3PlanePelBufferFromBGR(image);
  kcHistoStats s0, s1, s2;
  kfPlaneDifferenceStats(a, kf3PlanePelBufferFromBGR(randomImage(rng, 0, 255)), s0, s1, s2);
  kcHistoStats t0 = s0, t1 = s1, t2 = s2;
  EXPECT_THROW(kfPlaneDifferenceStats(a, kf3PlanePelBufferFromBGR(smaller), t0, t1, t2), kcBadArgument);
  EXPECT_EQ(t0.mean(), s0.mean());
  EXPECT_EQ(t2.mean(), s2.mean());
}
