#include "colc/tool/target_pose.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "colc/tool/view_difference.h"
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

kc3PlanePelBuffer colour(const cv::Mat& bgr) { return kf3PlanePelBufferFromBGR(bgr); }

}  // namespace

// Beyond the defined finder's zones (a quarter turn, half the size), the
// view sampled through the pose reproduces the reference about as closely
// as the defined finder's does at a pose both find.
TEST(FindTargetPose, SamplesTheViewOntoTheReferenceGridAtPosesTheDefinedFinderMisses) {
  const kc3PlanePelBuffer calibration = colour(kChart);
  const kcViewOnGrid square = kfViewOnGrid(colour(simFrame(kChart, {1.3, 1.0, {320.4, 240.3}}, kSensor, 1)),
                                           calibration);
  const double attainable = meanAbsDifference(square.view, square.reference);
  for (const TargetPose& truth : {TargetPose{91.0, 1.0, {320.4, 240.3}}, TargetPose{-178.0, 0.55, {300.2, 200.7}},
                                  TargetPose{2.0, 2.2, {321.0, 241.0}}}) {
    const kc3PlanePelBuffer view = colour(simFrame(kChart, truth, kSensor, 2));
    const kcCalibrationPose pose = kfFindTargetPose(view, calibration);
    ASSERT_TRUE(pose.perspective);
    const kcTargetMatch& match = pose.perspective->match;
    EXPECT_TRUE(match.found());
    EXPECT_NEAR(match.scale, truth.scale, 0.02 * truth.scale) << truth.rotationDegrees;
    // The finder turns counter-clockwise as displayed, the scene clockwise.
    EXPECT_NEAR(std::remainder(match.rotationDegrees + truth.rotationDegrees, 360.0), 0.0, 0.5);
    EXPECT_GE(match.score, kTargetScoreWarn);
    const kcViewOnGrid grid = kfViewOnGrid(view, pose);
    EXPECT_LT(meanAbsDifference(grid.view, grid.reference), attainable * (truth.scale < 1.0 ? 1.6 : 1.2) + 1.0)
        << truth.rotationDegrees << " degrees, scale " << truth.scale;
    // The pels under the samples' centres are the camera's own values.
    const kc3PlanePelBuffer pels = kfViewPelsAtSamples(view, pose);
    EXPECT_EQ(pels.width(), grid.view.width());
    EXPECT_LT(meanAbsDifference(pels, grid.view), 12.0);
  }
}

TEST(FindTargetPose, SaysWhyTheTargetIsNotFound) {
  const kc3PlanePelBuffer calibration = colour(kChart);
  cv::RNG rng(5);
  const cv::Mat empty = clutter(kSensor, rng);
  try {
    kfFindTargetPose(colour(empty), calibration);
    ADD_FAILURE() << "found the target in clutter";
  } catch (const kcTargetNotFound& e) {
    EXPECT_FALSE(e.match().found());
    EXPECT_EQ(e.text(), kfTargetFindingText(e.match(), {}));
    EXPECT_EQ(e.text().find('\n'), std::string::npos);
    // The quick search's callers catch the defined error class.
    EXPECT_NE(dynamic_cast<const kcColorCalibrationDefs::BadImages*>(&e), nullptr);
  }
  // Far too small to calibrate on: found, but refused with its scale.
  try {
    kfFindTargetPose(colour(simFrame(kChart, {0.0, 0.3, {320.0, 240.0}}, kSensor, 3)), calibration);
    ADD_FAILURE() << "accepted a target at 0.3 x its size";
  } catch (const kcTargetNotFound& e) {
    EXPECT_EQ(e.match().finding, keTargetFinding::eTooSmall);
    EXPECT_NE(e.text().find("0.3"), std::string::npos) << e.text();
  }
  EXPECT_THROW(kfFindTargetPose(colour(empty), colour(kChart(cv::Rect(0, 0, 6, 6)))),
               kcColorCalibrationDefs::BadImages);
}
