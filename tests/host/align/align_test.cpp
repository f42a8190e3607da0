#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "colc/host/align.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kChart(200, 150);
const cv::Size kScene(640, 480);

kcSXAlignRunParams calibrationSearch() {
  kcSXAlignRunParams params;
  params.algorithm(kc_SXDefs::eRefined);
  params.zoneEnable(3);
  params.zone(kc_SXDefs::eRotation, -21.0, 21.0);
  params.zone(kc_SXDefs::eScale, 0.8, 1.2);
  return params;
}

// The pattern trained on the chart's intensity, client origin at its centre.
kcSXAlignPattern centredPattern(const cv::Mat& chart) {
  kcPelBuffer<unsigned char> train = bufferOf(toGrey(chart));
  train.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(-chart.cols * 0.5, -chart.rows * 0.5)));
  kcSXAlignPattern pattern;
  pattern.train(train, 2, nullptr, 0);
  return pattern;
}

kcSXAlignResultSet runOn(const kcSXAlignPattern& pattern, const cv::Mat& rgb,
                         const kcSXAlignRunParams& params = calibrationSearch()) {
  kcSXAlignResultSet results;
  pattern.run(bufferOf(toGrey(rgb)), params, results, nullptr, 0);
  return results;
}

double rotationOf(const kcXform<2>& pose) {
  return std::atan2(pose.matrix().element(1, 0), pose.matrix().element(0, 0)) * 180.0 / std::numbers::pi;
}
double scaleOf(const kcXform<2>& pose) { return std::sqrt(pose.matrix().determinant()); }

int trialsFromEnvironment(int fallback) {
  const char* text = std::getenv("COLC_POSE_TRIALS");
  return text ? std::max(1, std::atoi(text)) : fallback;
}

}  // namespace

TEST(AlignPattern, FindsTheTargetAtRandomPosesInClutterAndNoise) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcSXAlignPattern pattern = centredPattern(chart);
  cv::RNG rng(1);
  const int trials = trialsFromEnvironment(10);
  std::vector<double> errors;
  double seconds = 0.0;
  for (int t = 0; t < trials; ++t) {
    const TargetPose truth = randomPose(kChart, kScene, rng);
    CameraLook look;
    look.gain = {rng.uniform(0.7, 1.3), rng.uniform(0.7, 1.3), rng.uniform(0.7, 1.3)};
    look.offset = {rng.uniform(-15.0, 15.0), rng.uniform(-15.0, 15.0), rng.uniform(-15.0, 15.0)};
    const cv::Mat scene = renderScene(chart, makeBackground(kScene, rng), truth, look, rng);
    const auto start = std::chrono::steady_clock::now();
    const kcSXAlignResultSet results = runOn(pattern, scene);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(results.numFound(), 1) << "trial " << t;
    const kcXform<2>& pose = results.result(0).pose();
    errors.push_back(cornerError(pose, truth.xform(), kChart.width * 0.5, kChart.height * 0.5));
    EXPECT_LT(errors.back(), 1.5) << "trial " << t << " rotation " << truth.rotationDegrees << " scale " << truth.scale;
    EXPECT_NEAR(rotationOf(pose), truth.rotationDegrees, 0.5);
    EXPECT_NEAR(scaleOf(pose), truth.scale, 0.01);
    EXPECT_GT(results.result(0).score(), calibrationSearch().acceptThreshold());
  }
  std::sort(errors.begin(), errors.end());
  std::printf("alignment corner error over %d poses: median %.3f, 90%% %.3f, max %.3f pel; %.1f ms per run\n", trials,
              errors[errors.size() / 2], errors[errors.size() * 9 / 10], errors.back(), 1000 * seconds / trials);
}

TEST(AlignPattern, ScenesWithoutTheTargetGiveNoResult) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcSXAlignPattern pattern = centredPattern(chart);
  cv::RNG rng(2);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(runOn(pattern, makeBackground(kScene, rng)).numFound(), 0) << "background " << t;
    cv::Mat noise(kScene, CV_8UC3);
    rng.fill(noise, cv::RNG::NORMAL, 128, 40);
    EXPECT_EQ(runOn(pattern, noise).numFound(), 0) << "noise " << t;
    const cv::Mat other = renderScene(makeOtherChart(kChart), makeBackground(kScene, rng),
                                      randomPose(kChart, kScene, rng), CameraLook(), rng);
    EXPECT_EQ(runOn(pattern, other).numFound(), 0) << "other chart " << t;
  }
}

TEST(AlignPattern, TargetsTurnedOrScaledBeyondTheZonesAreNotFound) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcSXAlignPattern pattern = centredPattern(chart);
  cv::RNG rng(3);
  const cv::Mat background = makeBackground(kScene, rng);
  const TargetPose outside[] = {{28.0, 1.0, {320, 240}}, {-30.0, 1.0, {320, 240}}, {0.0, 1.35, {320, 240}},
                                {0.0, 0.68, {320, 240}}, {5.0, 1.3, {320, 240}}};
  for (const TargetPose& pose : outside) {
    const cv::Mat scene = renderScene(chart, background, pose, CameraLook(), rng);
    EXPECT_EQ(runOn(pattern, scene).numFound(), 0) << pose.rotationDegrees << " degrees, scale " << pose.scale;
  }
  // Within the default zones but outside narrowed ones.
  const cv::Mat turned = renderScene(chart, background, {15.0, 1.0, {320, 240}}, CameraLook(), rng);
  ASSERT_EQ(runOn(pattern, turned).numFound(), 1);
  kcSXAlignRunParams narrow = calibrationSearch();
  narrow.zone(kc_SXDefs::eRotation, -5.0, 5.0);
  EXPECT_EQ(runOn(pattern, turned, narrow).numFound(), 0);
  // Disabled zones hold rotation at 0 whatever the zone says.
  kcSXAlignRunParams fixedRotation = calibrationSearch();
  fixedRotation.zoneEnable(2);
  EXPECT_EQ(runOn(pattern, turned, fixedRotation).numFound(), 0);
  const cv::Mat upright = renderScene(chart, background, {0.0, 1.1, {300, 250}}, CameraLook(), rng);
  const kcSXAlignResultSet found = runOn(pattern, upright, fixedRotation);
  ASSERT_EQ(found.numFound(), 1);
  EXPECT_EQ(found.result(0).pose().matrix().element(0, 1), 0.0);
}

TEST(AlignPattern, PosesMapClientCoordinatesOfBothImages) {
  // Pattern: a window of a larger buffer at an offset, with a client
  // transform that scales and shifts; run image: its own offset, window and
  // client transform. The pose must compose all of them. Both client
  // transforms double, so that the client pose keeps the scene's scale.
  const cv::Mat chart = makeTargetChart(kChart);
  cv::Mat padded;
  cv::copyMakeBorder(toGrey(chart), padded, 7, 5, 11, 3, cv::BORDER_CONSTANT, cv::Scalar(0));
  kcPelBuffer<unsigned char> train = bufferOf(padded);
  train.offset(-20, 30);
  train.window(kcPelRect(-20 + 11, 30 + 7, -20 + 11 + kChart.width, 30 + 7 + kChart.height), false);
  const kcXform<2> trainClient(kcMatrix<2>(2.0, 0.0, 0.0, 2.0), kcVector<2>(5.0, -3.0));
  train.clientFromImageXform(trainClient);
  kcSXAlignPattern pattern;
  pattern.train(train, 2, nullptr, 0);

  cv::RNG rng(4);
  const TargetPose truth{-8.0, 1.1, {300.0, 260.0}};
  const cv::Mat scene = toGrey(renderScene(chart, makeBackground(kScene, rng), truth, CameraLook(), rng));
  kcPelBuffer<unsigned char> run = bufferOf(scene);
  run.offset(100, -50);
  run.window(kcPelRect(110, -40, 100 + kScene.width - 5, -50 + kScene.height), false);
  const kcXform<2> runClient(kcMatrix<2>(2.0, 0.0, 0.0, 2.0), kcVector<2>(-7.0, 9.0));
  run.clientFromImageXform(runClient);
  kcSXAlignResultSet results;
  pattern.run(run, calibrationSearch(), results, nullptr, 0);
  ASSERT_EQ(results.numFound(), 1);

  // Pattern client -> chart image -> centred -> scene image -> run image -> run client.
  const kcXform<2> chartFromClient = kcXform<2>(kcMatrix<2>(), kcVector<2>(-(-20 + 11), -(30 + 7))) *
                                     trainClient.inverse();
  const kcXform<2> centred(kcMatrix<2>(), kcVector<2>(-kChart.width * 0.5, -kChart.height * 0.5));
  const kcXform<2> runFromScene(kcMatrix<2>(), kcVector<2>(100.0, -50.0));
  const kcXform<2> expected = runClient * runFromScene * truth.xform() * centred * chartFromClient;
  // Compare where the chart's corners go, in run client units (two per scene pel).
  const kcXform<2> toCentred = centred * chartFromClient;
  EXPECT_LT(cornerError(results.result(0).pose() * toCentred.inverse(), expected * toCentred.inverse(),
                        kChart.width * 0.5, kChart.height * 0.5),
            2 * 0.75);
}

TEST(AlignPattern, CoarseRunsAndSeveralResults) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcSXAlignPattern pattern = centredPattern(chart);
  cv::RNG rng(5);
  const TargetPose first{10.0, 0.9, {160.0, 150.0}}, second{-12.0, 1.0, {470.0, 320.0}};
  cv::Mat scene = renderScene(chart, makeBackground(kScene, rng), first, CameraLook(), rng);
  scene = renderScene(chart, scene, second, CameraLook(), rng);

  kcSXAlignRunParams params = calibrationSearch();
  params.numToFind(3);
  const kcSXAlignResultSet both = runOn(pattern, scene, params);
  ASSERT_EQ(both.numFound(), 2);
  EXPECT_GE(both.result(0).score(), both.result(1).score());
  const bool firstIsFirst =
      (both.result(0).pose().trans() - kcVector<2>(first.centre.x, first.centre.y)).length() < 2.0;
  const TargetPose& a = firstIsFirst ? first : second;
  const TargetPose& b = firstIsFirst ? second : first;
  EXPECT_LT(cornerError(both.result(0).pose(), a.xform(), 100, 75), 1.5);
  EXPECT_LT(cornerError(both.result(1).pose(), b.xform(), 100, 75), 1.5);

  params.numToFind(1);
  params.algorithm(kc_SXDefs::eCoarse);
  const kcSXAlignResultSet coarse = runOn(pattern, scene, params);
  ASSERT_EQ(coarse.numFound(), 1);
  const kcXform<2>& pose = coarse.result(0).pose();
  const TargetPose& near = (pose.trans() - kcVector<2>(first.centre.x, first.centre.y)).length() < 20 ? first : second;
  // To the grid: a few degrees, a few percent, a coarse pel or two.
  EXPECT_LT(cornerError(pose, near.xform(), 100, 75), 16.0);
}

TEST(AlignPattern, RefusesWhatItCannotUse) {
  kcSXAlignPattern pattern;
  kcSXAlignResultSet results;
  const cv::Mat chart = toGrey(makeTargetChart(kChart));
  EXPECT_THROW(pattern.run(bufferOf(chart), calibrationSearch(), results, nullptr, 0), kcBadArgument);
  EXPECT_THROW(pattern.train(kcPelBuffer<unsigned char>(), 2, nullptr, 0), kcBadPointer);
  EXPECT_THROW(pattern.train(bufferOf(cv::Mat(50, 7, CV_8UC1, cv::Scalar(0))), 2, nullptr, 0), kcBadArgument);
  EXPECT_THROW(pattern.train(bufferOf(cv::Mat(50, 50, CV_8UC1, cv::Scalar(9))), 2, nullptr, 0), kcBadArgument);
  EXPECT_FALSE(pattern.isTrained());

  pattern.train(bufferOf(chart), 2, nullptr, 0);
  EXPECT_THROW(pattern.run(kcPelBuffer<unsigned char>(), calibrationSearch(), results, nullptr, 0), kcBadPointer);
  // An image smaller than the pattern holds no result, and the old ones go.
  pattern.run(bufferOf(chart), calibrationSearch(), results, nullptr, 0);
  ASSERT_EQ(results.numFound(), 1);
  pattern.run(bufferOf(cv::Mat(40, 40, CV_8UC1, cv::Scalar(3))), calibrationSearch(), results, nullptr, 0);
  EXPECT_EQ(results.numFound(), 0);
  EXPECT_THROW(results.result(0), kcBadArgument);

  kcSXAlignRunParams params;
  EXPECT_THROW(params.zone(kc_SXDefs::eRotation, 5.0, -5.0), kcBadArgument);
  EXPECT_THROW(params.zone(kc_SXDefs::eScale, 0.0, 1.0), kcBadArgument);
  EXPECT_THROW(params.zone(static_cast<kc_SXDefs::DOF>(3), 0.0, 1.0), kcBadArgument);
}
