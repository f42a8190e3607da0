#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "colc/host/corr.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kChart(200, 150);
const cv::Size kScene(640, 480);
const kcXform<2> kCentred(kcMatrix<2>(), kcVector<2>(-kChart.width * 0.5, -kChart.height * 0.5));

// The chart's intensity with its client origin at its centre.
kcPelBuffer<unsigned char> centredTrainImage(const cv::Mat& chart) {
  kcPelBuffer<unsigned char> train = bufferOf(toGrey(chart));
  train.clientFromImageXform(kCentred);
  return train;
}

// truth, moved by (dx, dy) pels, turned by degrees and scaled by factor about the target centre.
kcXform<2> disturbed(const kcXform<2>& truth, double dx, double dy, double degrees, double factor) {
  const double a = degrees * 3.14159265358979 / 180.0;
  const kcXform<2> turn(kcMatrix<2>(factor * std::cos(a), -factor * std::sin(a), factor * std::sin(a),
                                    factor * std::cos(a)),
                        kcVector<2>());
  return kcXform<2>(kcMatrix<2>(), kcVector<2>(dx, dy)) * truth * turn;
}

}  // namespace

TEST(NormalizedCorrelationAffinePose, RefinesRoughPosesToAFractionOfAPel) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcPelBuffer<unsigned char> train = centredTrainImage(chart);
  cv::RNG rng(11);
  const char* text = std::getenv("COLC_POSE_TRIALS");
  const int trials = text ? std::max(1, std::atoi(text)) : 10;
  std::vector<double> errors;
  for (int t = 0; t < trials; ++t) {
    const TargetPose truth = randomPose(kChart, kScene, rng);
    CameraLook look;
    look.gain = {rng.uniform(0.7, 1.3), rng.uniform(0.7, 1.3), rng.uniform(0.7, 1.3)};
    const cv::Mat scene = toGrey(renderScene(chart, makeBackground(kScene, rng), truth, look, rng));
    // As rough as the alignment's start poses can be.
    const kcXform<2> start = disturbed(truth.xform(), rng.uniform(-2.0, 2.0), rng.uniform(-2.0, 2.0),
                                       rng.uniform(-0.5, 0.5), rng.uniform(0.99, 1.01));
    kcNormalizedCorrelationAffineResult result;
    kfNormalizedCorrelationAffinePose(train, bufferOf(scene), start, result, nullptr, 0);
    errors.push_back(cornerError(result.pose(), truth.xform(), kChart.width * 0.5, kChart.height * 0.5));
    EXPECT_LT(errors.back(), 0.25) << "trial " << t;
    EXPECT_GT(result.score(), 0.9);
  }
  std::sort(errors.begin(), errors.end());
  std::printf("refined corner error over %d poses: median %.3f, 90%% %.3f, max %.3f pel\n", trials,
              errors[errors.size() / 2], errors[errors.size() * 9 / 10], errors.back());
}

TEST(NormalizedCorrelationAffinePose, FollowsShearAndClientCoordinates) {
  // A sheared, unevenly scaled view, a run image with its own offset,
  // window and client transform, and a training window inside a larger buffer.
  const cv::Mat chart = makeTargetChart(kChart);
  cv::Mat padded;
  cv::copyMakeBorder(toGrey(chart), padded, 4, 9, 6, 2, cv::BORDER_CONSTANT, cv::Scalar(255));
  kcPelBuffer<unsigned char> train = bufferOf(padded);
  train.offset(3, -8);
  train.window(kcPelRect(3 + 6, -8 + 4, 3 + 6 + kChart.width, -8 + 4 + kChart.height), false);
  // Client origin at the chart centre again, in the window's image coordinates.
  train.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(-(9 + kChart.width * 0.5), -(-4 + kChart.height * 0.5))));

  cv::RNG rng(12);
  const kcXform<2> truth(kcMatrix<2>(1.05, 0.08, -0.03, 0.93), kcVector<2>(330.0, 250.0));
  // Render through the affine pose: the scene helper takes similarity poses,
  // so warp the chart directly (pel centres at +0.5 in image coordinates).
  const kcXform<2> half(kcMatrix<2>(), kcVector<2>(0.5, 0.5));
  const kcXform<2> m = half.inverse() * truth * kCentred * half;
  cv::Mat scene = toGrey(makeBackground(kScene, rng));
  cv::warpAffine(toGrey(chart), scene,
                 cv::Matx23d(m.matrix().element(0, 0), m.matrix().element(0, 1), m.trans().x(),
                             m.matrix().element(1, 0), m.matrix().element(1, 1), m.trans().y()),
                 kScene, cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
  kcPelBuffer<unsigned char> run = bufferOf(scene);
  run.offset(-40, 25);
  run.window(kcPelRect(-30, 30, -40 + kScene.width, 25 + kScene.height - 3), false);
  const kcXform<2> runClient(kcMatrix<2>(0.0, 2.0, -2.0, 0.0), kcVector<2>(12.0, 4.0));  // turned and doubled
  run.clientFromImageXform(runClient);

  const kcXform<2> runImageFromScene(kcMatrix<2>(), kcVector<2>(-40.0, 25.0));
  const kcXform<2> expected = runClient * runImageFromScene * truth;
  kcNormalizedCorrelationAffineResult result;
  kfNormalizedCorrelationAffinePose(train, run, disturbed(expected, 2.0, -2.0, 0.3, 1.005), result, nullptr, 0);
  // In run client units, two per scene pel.
  EXPECT_LT(cornerError(result.pose(), expected, kChart.width * 0.5, kChart.height * 0.5), 2 * 0.1);
}

TEST(NormalizedCorrelationAffinePose, FailsWithoutTouchingTheResult) {
  const cv::Mat chart = makeTargetChart(kChart);
  const kcPelBuffer<unsigned char> train = centredTrainImage(chart);
  const cv::Mat scene = toGrey(makeTargetChart(kScene));
  kcNormalizedCorrelationAffineResult result;
  result.score(0.5);
  const kcXform<2> away(kcMatrix<2>(), kcVector<2>(5000.0, 5000.0));
  EXPECT_THROW(kfNormalizedCorrelationAffinePose(train, bufferOf(scene), away, result, nullptr, 0),
               kcNormalizedCorrelationFailed);
  const cv::Mat flat(kScene, CV_8UC1, cv::Scalar(77));
  EXPECT_THROW(kfNormalizedCorrelationAffinePose(train, bufferOf(flat), kcXform<2>(kcMatrix<2>(), kcVector<2>(320, 240)),
                                                 result, nullptr, 0),
               kcNormalizedCorrelationFailed);
  EXPECT_THROW(kfNormalizedCorrelationAffinePose(train, bufferOf(scene), kcXform<2>(kcMatrix<2>(0, 0, 0, 0), kcVector<2>()),
                                                 result, nullptr, 0),
               kcBadArgument);
  EXPECT_THROW(kfNormalizedCorrelationAffinePose(kcPelBuffer<unsigned char>(), bufferOf(scene), kcXform<2>(), result,
                                                 nullptr, 0),
               kcBadPointer);
  EXPECT_EQ(result.score(), 0.5);
  EXPECT_EQ(result.pose(), kcXform<2>());
}
