#include "colc/host/align.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/imaging/cv_bridge.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kView(640, 480);
const cv::Mat kChart = simChart(240);  // 240 x 160
const double kHalfW = 120.0, kHalfH = 80.0;

kcSXAlignRunParams calibrationSearch() {
  kcSXAlignRunParams params;
  params.zoneEnable(3);
  params.zone(kc_SXDefs::eRotation, -21.0, 21.0);
  params.zone(kc_SXDefs::eScale, 0.8, 1.2);
  return params;
}

// Trained on the chart's intensity, client origin at its centre.
kcSXAlignPattern chartPattern() {
  kcPelBuffer<unsigned char> train = kfPelBufferFromMat(grey(kChart));
  train.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(-kHalfW, -kHalfH)));
  kcSXAlignPattern pattern;
  pattern.train(train, 2, nullptr, 0);
  return pattern;
}

kcSXAlignResultSet run(const cv::Mat& view, const kcSXAlignRunParams& params = calibrationSearch()) {
  kcSXAlignResultSet results;
  chartPattern().run(kfPelBufferFromMat(grey(view)), params, results, nullptr, 0);
  return results;
}

}  // namespace

TEST(AlignPattern, FindsTheChartAtRandomPosesInClutter) {
  cv::RNG rng(1);
  cornerErrorsAtRandomPoses("alignment", 8, kChart.size(), kView, rng, [&](const TargetPose& truth, std::size_t) {
    const kcSXAlignResultSet found = run(renderScene(kChart, clutter(kView, rng), truth.xform(), rng));
    EXPECT_EQ(found.numFound(), 1) << truth.rotationDegrees << " degrees, scale " << truth.scale;
    if (found.numFound() != 1) return HUGE_VAL;
    const double error = cornerError(found.result(0).pose(), truth.xform(), kHalfW, kHalfH);
    EXPECT_LT(error, 1.0) << truth.rotationDegrees << " degrees, scale " << truth.scale;
    return error;
  });
}

TEST(AlignPattern, RefusesWhatItCannotUse) {
  kcSXAlignPattern pattern;
  kcSXAlignResultSet results;
  const kcPelBuffer<unsigned char> chart = kfPelBufferFromMat(grey(kChart));
  EXPECT_THROW(pattern.run(chart, calibrationSearch(), results, nullptr, 0), kcBadArgument);  // not trained
  EXPECT_THROW(pattern.train(kcPelBuffer<unsigned char>(), 2, nullptr, 0), kcBadPointer);
  EXPECT_THROW(pattern.train(kfPelBufferFromMat(cv::Mat(50, 7, CV_8UC1, cv::Scalar(0))), 2, nullptr, 0), kcBadArgument);
  EXPECT_THROW(pattern.train(kfPelBufferFromMat(cv::Mat(50, 50, CV_8UC1, cv::Scalar(9))), 2, nullptr, 0),
               kcBadArgument);
  pattern.train(chart, 2, nullptr, 0);
  kcSXAlignRunParams unknown = calibrationSearch();
  unknown.algorithm(static_cast<kc_SXDefs::Algorithm>(1));
  EXPECT_THROW(pattern.run(chart, unknown, results, nullptr, 0), kcBadArgument);
  // A run image smaller than the pattern holds no result, and earlier results go.
  pattern.run(chart, calibrationSearch(), results, nullptr, 0);
  ASSERT_EQ(results.numFound(), 1);
  pattern.run(kfPelBufferFromMat(cv::Mat(40, 40, CV_8UC1, cv::Scalar(3))), calibrationSearch(), results, nullptr, 0);
  EXPECT_EQ(results.numFound(), 0);
  EXPECT_THROW(results.result(0), kcBadArgument);

  kcSXAlignRunParams params;
  EXPECT_THROW(params.zone(kc_SXDefs::eRotation, 5.0, -5.0), kcBadArgument);
  EXPECT_THROW(params.zone(kc_SXDefs::eScale, 0.0, 1.0), kcBadArgument);
  EXPECT_THROW(params.zone(static_cast<kc_SXDefs::DOF>(3), 0.0, 1.0), kcBadArgument);
}
