// Finding the target at any quarter turn, over a wide range of scales and
// at a slant: the pose, its figures and the finding, on charts rendered at
// known homographies over clutter.
#include "colc/host/target_finder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "host/imaging/cv_bridge.h"
#include "host/imaging/plane_pose.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kView(1024, 768);

kcTargetMatch find(const cv::Mat& view, const cv::Mat& reference, const kcTargetSearchParams& params = {}) {
  return kfFindTarget(kfPelBufferFromMat(view), kfPelBufferFromMat(reference), params);
}

}  // namespace

TEST(FindTarget, FindsTurnedScaledAndSlantedChartsInClutter) {
  cv::RNG rng(5);
  for (int trial = 0; trial < 6; ++trial) {
    const cv::Mat chart = randomChart(cv::Size(rng.uniform(4, 8), rng.uniform(3, 6)), 240, rng);
    const cv::Vec3d planes(rng.uniform(0.6, 1.4), rng.uniform(0.6, 1.4), rng.uniform(0.6, 1.4));
    const PlanePose truth = randomPlanePose(chart.size(), kView, rng, 0.4, 2.5, trial < 3 ? 0.0 : 30.0);
    const cv::Matx33d h = truth.homography(chart.size());
    const cv::Mat view = grey(renderScene(scaledPlanes(chart, planes), clutter(kView, rng), h, rng));
    const kcTargetMatch match = find(view, grey(chart));
    const PoseErrors e = poseErrors(kfToCv(match.pose), h, chart.size());
    std::printf("turn %.1f, scale %.2f, tilt %.1f: score %.3f, centre %.3f, side %.3f, angle %.4f\n",
                truth.rotationDegrees, truth.scale, truth.tiltDegrees, match.score, e.centre, e.side, e.angle);
    EXPECT_EQ(match.finding, keTargetFinding::eFound);
    EXPECT_GT(match.score, kTargetScoreWarn);
    EXPECT_LT(e.centre, 1.0);
    EXPECT_LT(e.side, 2.0);
    EXPECT_LT(e.angle, 0.02);
    EXPECT_NEAR(std::remainder(match.rotationDegrees + truth.rotationDegrees, 360.0), 0.0, truth.tiltDegrees + 1.0);
  }
}

TEST(FindTarget, SaysWhenNothingInViewIsTheTarget) {
  cv::RNG rng(6);
  const cv::Mat chart = randomChart(cv::Size(6, 4), 240, rng);
  const kcTargetMatch match = find(grey(clutter(kView, rng)), grey(chart));
  EXPECT_FALSE(match.found());
  EXPECT_LT(match.score, kTargetScoreRefuse);
}

// A chart at a slant beyond the caller's limit is refused as too tilted,
// with its slant told, not lost.
TEST(FindTarget, TellsASlantBeyondTheLimit) {
  cv::RNG rng(7);
  const cv::Mat chart = randomChart(cv::Size(6, 4), 240, rng);
  PlanePose truth;
  truth.centre = {512.0, 384.0}, truth.rotationDegrees = 10.0, truth.tiltDegrees = 30.0, truth.tiltAxisDegrees = 60.0;
  const cv::Matx33d h = truth.homography(chart.size());
  const cv::Mat view = grey(renderScene(chart, clutter(kView, rng), h, rng));
  kcTargetSearchParams params;
  params.maxTiltDegrees = 20.0;
  const kcTargetMatch match = find(view, grey(chart), params);
  EXPECT_EQ(match.finding, keTargetFinding::eTooTilted);
  EXPECT_NEAR(match.tiltDegrees, 30.0, 3.0);
}

TEST(FindTarget, RefusesReferencesItCannotLookFor) {
  cv::RNG rng(7);
  const cv::Mat view = grey(clutter(kView, rng));
  EXPECT_THROW(find(view, cv::Mat(12, 40, CV_8U, cv::Scalar(9))), kcBadArgument);
  EXPECT_THROW(find(view, cv::Mat(100, 140, CV_8U, cv::Scalar(90))), kcBadArgument);
  kcTargetSearchParams inverted;
  inverted.minScale = 2.0, inverted.maxScale = 1.0;
  EXPECT_THROW(find(view, grey(randomChart(cv::Size(6, 4), 240, rng)), inverted), kcBadArgument);
  EXPECT_THROW(kfFindTarget(kcPelBuffer<unsigned char>(), kfPelBufferFromMat(view), {}), kcBadPointer);
}
