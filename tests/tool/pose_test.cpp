#include "colc/tool/pose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "colc/records/errors.h"
#include "host/imaging/cv_bridge.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kSensor(640, 480);
const cv::Mat kChart = simChart(240);  // 240 x 160

double meanAbsDifference(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  cv::Mat diff;
  cv::absdiff(kfBGRMat(a), kfBGRMat(b), diff);
  const cv::Scalar m = cv::mean(diff);
  return (m[0] + m[1] + m[2]) / 3.0;
}

void expectNoPatternFound(const cv::Mat& acquired, const char* what) {
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  sampling.xNumSamples(77);
  try {
    kfFindCalibrationPose(kf3PlanePelBufferFromBGR(acquired), kf3PlanePelBufferFromBGR(kChart), reference, sampling,
                          nullptr, 0);
    ADD_FAILURE() << what << ": found a pose";
  } catch (const kcColorCalibrationDefs::BadImages& e) {
    EXPECT_EQ(e.text(), "No pattern found") << what;
  }
  EXPECT_FALSE(reference.isBound()) << what;
  EXPECT_EQ(sampling.xNumSamples(), 77) << what;
}

}  // namespace

TEST(FindCalibrationPose, FindsTheChartInSimulatedFramesToAQuarterPel) {
  const kc3PlanePelBuffer calibration = kf3PlanePelBufferFromBGR(kChart);
  cv::RNG rng(21);
  std::vector<double> millis;
  cornerErrorsAtRandomPoses("pose", 6, kChart.size(), kSensor, rng, [&](const TargetPose& truth, std::size_t t) {
    const kc3PlanePelBuffer acquired = kf3PlanePelBufferFromBGR(simFrame(kChart, truth, kSensor, t + 1));
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    const auto start = std::chrono::steady_clock::now();
    kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
    millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    const double error = samplingCornerError(sampling, truth.xform(), kChart.size());
    EXPECT_LT(error, 0.25) << truth.rotationDegrees << " degrees, scale " << truth.scale;
    // 234 x 154 inner pels, capped to about 150 x 150 samples.
    EXPECT_EQ(reference.width() * 1000 + reference.height(), 184121);
    EXPECT_EQ(sampling.xNumSamples() * 1000 + sampling.yNumSamples(), 184121);
    return error;
  });
  std::sort(millis.begin(), millis.end());
  std::printf("pose finding: median %.0f ms\n", millis[millis.size() / 2]);
}

TEST(FindCalibrationPose, FindsRandomColourChartsSeenWithUnevenPlanesToAQuarterPel) {
  // A few of the scenes of the pose sweep (scripts/pose_sweep.sh), smaller.
  for (unsigned long seed = 1; seed <= 4; ++seed) {
    const ChartScene scene = randomChartScene(seed, kSensor, 200, 300);
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    kfFindCalibrationPose(kf3PlanePelBufferFromBGR(scene.frame), kf3PlanePelBufferFromBGR(scene.chart), reference,
                          sampling, nullptr, 0);
    EXPECT_LT(samplingCornerError(sampling, scene.truth.xform(), scene.chart.size()), 0.25) << "seed " << seed;
  }
}

TEST(FindCalibrationPose, AnAcquisitionEqualToTheCalibrationImageIsACentredTranslation) {
  cv::Mat small;
  cv::resize(simChart(180), small, cv::Size(160, 120), 0, 0, cv::INTER_AREA);
  for (const cv::Mat& chart : {small, simChart(480)}) {
    const kc3PlanePelBuffer calibration = kf3PlanePelBufferFromBGR(chart);
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    kfFindCalibrationPose(calibration, calibration, reference, sampling, nullptr, 0);
    const kcXform<2> centred(kcMatrix<2>(), kcVector<2>(chart.cols * 0.5, chart.rows * 0.5));
    EXPECT_LT(samplingCornerError(sampling, centred, chart.size()), 0.05) << chart.size();
    EXPECT_LT(meanAbsDifference(kfAffineTransformColorImage(calibration, sampling), reference), 1.0) << chart.size();
  }
}

TEST(FindCalibrationPose, KeepsTheAcquisitionsCoordinatesAndIgnoresTheCalibrationImages) {
  const kc3PlanePelBuffer plain = kf3PlanePelBufferFromBGR(kChart);
  kc3PlanePelBuffer acquired = plain, calibration = kf3PlanePelBufferFromBGR(kChart);
  acquired.offset(-50, 30);
  const kcXform<2> acquiredClient(kcMatrix<2>(std::cos(0.2), -std::sin(0.2), std::sin(0.2), std::cos(0.2)), {4.0, -6.0});
  acquired.clientFromImageXform(acquiredClient);
  calibration.offset(100, 200);
  calibration.window(kcPelRect(109, 205, 100 + kChart.cols, 200 + kChart.rows), false);
  calibration.clientFromImageXform(kcXform<2>(kcMatrix<2>(3.0, 0.0, 0.0, 3.0), kcVector<2>(1.0, 2.0)));
  const cv::Size window(kChart.cols - 9, kChart.rows - 5);

  kc3PlanePelBuffer reference, plainReference;
  kcAffineSamplingParams sampling, plainSampling;
  kfFindCalibrationPose(plain, kf3PlanePelBufferFromBGR(kChart(cv::Rect(cv::Point(9, 5), window)).clone()),
                        plainReference, plainSampling, nullptr, 0);
  kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
  EXPECT_EQ(meanAbsDifference(reference, plainReference), 0.0);
  // The window's centre lies at (9, 5) + half its size in the chart, moved
  // by (-50, 30) in the acquisition, then into its client coordinates.
  const kcXform<2> expected =
      acquiredClient * kcXform<2>(kcMatrix<2>(), {9.0 + window.width * 0.5 - 50.0, 5.0 + window.height * 0.5 + 30.0});
  EXPECT_LT(samplingCornerError(sampling, expected, window), 0.05);
}

TEST(FindCalibrationPose, FindsNoPatternUnlessTheChartIsInViewWithinTheZones) {
  cv::Mat noise(kSensor, CV_8UC3);
  cv::RNG rng(23);
  rng.fill(noise, cv::RNG::NORMAL, 128, 40);
  expectNoPatternFound(noise, "noise");
  expectNoPatternFound(simFrame(kChart, {0.0, 1.0, {-2000.0, 240.0}}, kSensor, 1), "background alone");
  expectNoPatternFound(simFrame(kChart, {0.0, 1.0, {60.0, 240.0}}, kSensor, 6), "partly out of view");
  expectNoPatternFound(simFrame(otherChart(kChart.size()), {4.0, 1.0, {320.0, 240.0}}, kSensor, 2), "another chart");
  expectNoPatternFound(simFrame(kChart, {30.0, 1.0, {320.0, 240.0}}, kSensor, 3), "turned by 30 degrees");
  expectNoPatternFound(simFrame(kChart, {-3.0, 1.35, {320.0, 240.0}}, kSensor, 4), "scaled by 1.35");
  expectNoPatternFound(simFrame(kChart, {3.0, 0.68, {320.0, 240.0}}, kSensor, 5), "scaled by 0.68");
}

TEST(FindCalibrationPose, RefusesUnusableImagesAndLeavesTheOutputsAlone) {
  const kc3PlanePelBuffer calibration = kf3PlanePelBufferFromBGR(kChart);
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  sampling.yNumSamples(5);
  // Narrower or lower than 7 pels: nothing would be left inside the margins.
  for (const cv::Size tiny : {cv::Size(6, 40), cv::Size(40, 6)})
    EXPECT_THROW(
        kfFindCalibrationPose(calibration, kf3PlanePelBufferFromBGR(cv::Mat(tiny, CV_8UC3, cv::Scalar(9, 99, 199))),
                              reference, sampling, nullptr, 0),
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
  for (const Row& row : {Row{160, 120, 154, 114, false}, Row{156, 156, 150, 150, false}, Row{157, 156, 150, 149, true},
                         Row{640, 480, 173, 129, true}, Row{1024, 768, 173, 129, true}, Row{10006, 10, 7500, 3, true},
                         Row{20006, 8, 20000, 2, false}}) {
    const kcReferenceGridSize grid = kfReferenceGridSize(row.w - 6.0, row.h - 6.0);
    EXPECT_EQ(grid.xSamples, row.xSamples) << row.w << " x " << row.h;
    EXPECT_EQ(grid.ySamples, row.ySamples) << row.w << " x " << row.h;
    EXPECT_EQ(grid.capped, row.capped) << row.w << " x " << row.h;
  }
}
