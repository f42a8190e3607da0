// Perspective resampling: an affine homography samples as affine sampling
// does, to the bit; a slanted view of a chart sampled back through its
// homography agrees with the chart itself; what cannot be sampled is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <tuple>

#include "colc/host/perspective.h"
#include "host/imaging/cv_bridge.h"
#include "support/image_random.h"
#include "support/pose_scene.h"

namespace {

using Sampling = kcAffineSamplingParams;

// The grid of an affine sampling (identity client transform) as a homography.
kcPerspectiveSamplingParams asPerspective(const Sampling& s) {
  const kcAffineRectangle& r = s.affineRectangle();
  const kcVector<2> xStep = r.xSide() * (1.0 / static_cast<double>(s.xNumSamples()));
  const kcVector<2> yStep = r.ySide() * (1.0 / static_cast<double>(s.yNumSamples()));
  const kcVector<2> first = r.origin() + xStep * 0.5 + yStep * 0.5;
  return {kcHomography({xStep.x(), yStep.x(), first.x(), xStep.y(), yStep.y(), first.y(), 0.0, 0.0, 1.0}),
          s.xNumSamples(), s.yNumSamples()};
}

TEST(PerspectiveSampling, AnAffineHomographySamplesAsAffineSampling) {
  std::mt19937 rng(3);
  const kcPelRect window(-30, 22, 60, 95);
  const kcPelBuffer<unsigned char> src = colc_test::randomBuffer(rng, 120, 90, -40, 17, &window);
  for (const auto& [xLength, yLength, nx, ny, angle] :
       {std::tuple{60.0, 50.0, 11L, 9L, 0.0}, {70.0, 40.0, 70L, 40L, 0.3}, {30.0, 20.0, 60L, 40L, -1.0},
        {200.0, 9.0, 20L, 30L, 2.0}, {50.0, 60.0, 5L, 7L, 0.7}}) {
    const kcAffineRectangle rect(kcVector<2>(10.0, 60.0), xLength, yLength, kcRadian(angle), kcRadian(angle));
    const Sampling affine(rect, nx, ny, Sampling::eBilinear);
    EXPECT_TRUE(kfPelEqual(kfPerspectiveTransformImage(src, asPerspective(affine)), kfAffineTransformImage(src, affine)))
        << xLength << " x " << yLength << " on " << nx << " x " << ny;
    EXPECT_EQ(kfPerspectiveSamplingClips(src, asPerspective(affine)), affine.willClip(src));
  }
}

// A chart seen at a 35 degree slant (its near side 40 % longer than its
// far side) and turned, sampled back through the homography on a grid of
// about 4 chart pels: the samples agree with those of the chart itself, as
// closely as two renderings of one chart can (edges blurred by the view's
// pels; measured 0.25 mean and 6 at worst; tiles approximated to a pel
// instead of kTileTolerance give 0.58 and 17).
TEST(PerspectiveSampling, ASlantedViewSampledThroughItsPoseShowsTheChart) {
  cv::RNG rng(8);
  const cv::Mat chart = colc_test::grey(colc_test::randomChart(cv::Size(6, 4), 480, rng));
  colc_test::PlanePose pose;
  pose.rotationDegrees = 25.0, pose.scale = 1.1, pose.centre = {400.0, 330.0};
  pose.tiltDegrees = 35.0, pose.tiltAxisDegrees = 70.0, pose.focal = 900.0;
  const cv::Matx33d h = pose.homography(chart.size());
  // renderScene takes colour charts: the grey one in all three planes.
  cv::Mat chart3;
  cv::cvtColor(chart, chart3, cv::COLOR_GRAY2BGR);
  const cv::Mat seen = colc_test::grey(
      colc_test::renderScene(chart3, cv::Mat(660, 800, CV_8UC3, cv::Scalar::all(0)), h, rng, 0.0, 0.0));
  const long nx = 110, ny = 73;
  const double step = 4.0;
  const cv::Matx33d grid(step, 0.0, 20.0, 0.0, step, 20.0, 0.0, 0.0, 1.0);
  const cv::Matx33d through = h * grid;
  const auto params = [&](const cv::Matx33d& m) {
    return kcPerspectiveSamplingParams{
        kcHomography({m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), m(2, 0), m(2, 1), m(2, 2)}), nx, ny};
  };
  const kcPelBuffer<unsigned char> fromView = kfPerspectiveTransformImage(kfPelBufferFromMat(seen), params(through));
  const kcPelBuffer<unsigned char> fromChart = kfPerspectiveTransformImage(kfPelBufferFromMat(chart), params(grid));
  cv::Mat difference;
  cv::absdiff(kfMatView(fromView), kfMatView(fromChart), difference);
  EXPECT_LT(cv::mean(difference)[0], 0.4);
  double worst = 0.0;
  cv::minMaxLoc(difference, nullptr, &worst);
  EXPECT_LE(worst, 8.0);
}

TEST(PerspectiveSampling, NearestPelsAreThePelsUnderTheCentres) {
  std::mt19937 rng(9);
  const kcPelRect window(-30, 22, 60, 95);
  const kcPelBuffer<unsigned char> src = colc_test::randomBuffer(rng, 120, 90, -40, 17, &window);
  // Centres at (-20.3 + 2.6 i, 30.8 + 1.7 j) / w with w = 1 + 0.002 i, the
  // last ones past the window's right edge.
  const kcHomography h({2.6, 0.0, -20.3, 0.0, 1.7, 30.8, 0.002, 0.0, 1.0});
  const kcPelBuffer<unsigned char> pels = kfPerspectiveTransformImage(src, {h, 45, 20, true});
  for (long j = 0; j < 20; ++j)
    for (long i = 0; i < 45; ++i) {
      const double w = 1.0 + 0.002 * i;
      const long x = std::clamp(static_cast<long>(std::floor((-20.3 + 2.6 * i) / w)), window.left, window.right - 1);
      const long y = std::clamp(static_cast<long>(std::floor((30.8 + 1.7 * j) / w)), window.top, window.bottom - 1);
      ASSERT_EQ(colc_test::pelAt(pels, i, j), colc_test::pelAt(src, x, y)) << i << ", " << j;
    }
}

TEST(PerspectiveSampling, RefusesWhatItCannotSampleAndForeseesClipping) {
  std::mt19937 rng(4);
  const kcPelBuffer<unsigned char> src = colc_test::randomBuffer(rng, 50, 40, 5, -3);
  const kcHomography slant({1.0, 0.1, 6.0, 0.0, 1.2, -2.0, 0.004, 0.002, 1.0});
  EXPECT_FALSE(kfPerspectiveSamplingClips(src, {slant, 30, 25}));
  EXPECT_TRUE(kfPerspectiveSamplingClips(src, {slant, 80, 25}));
  // Negated, the homography maps every point to the same place.
  const std::array<double, 9>& e = slant.elements();
  const kcHomography negated({-e[0], -e[1], -e[2], -e[3], -e[4], -e[5], -e[6], -e[7], -e[8]});
  EXPECT_TRUE(kfPelEqual(kfPerspectiveTransformImage(src, {negated, 30, 25}),
                         kfPerspectiveTransformImage(src, {slant, 30, 25})));
  // The grid reaches beyond the horizon (w = 0 at i = 250).
  const kcHomography horizon({1.0, 0.0, 0.0, 0.0, 1.0, 0.0, -0.004, 0.0, 1.0});
  EXPECT_THROW(kfPerspectiveTransformImage(src, {horizon, 300, 5}), kcBadArgument);
  EXPECT_THROW(kfPerspectiveSamplingClips(src, {horizon, 300, 5}), kcBadArgument);
  EXPECT_THROW(kfPerspectiveTransformImage(src, {slant, 0, 5}), kcBadArgument);
  EXPECT_THROW(kfPerspectiveTransformImage(src, {kcHomography({1, 0, 1e7, 0, 1, 0, 0, 0, 1}), 3, 3}), kcBadArgument);
  EXPECT_THROW(kfPerspectiveTransformImage(kcPelBuffer<unsigned char>(), {slant, 3, 3}), kcBadPointer);
  kcPelBuffer<unsigned char> empty = src;
  empty.window(kcPelRect(5, -3, 5, 37), false);
  EXPECT_THROW(kfPerspectiveTransformImage(empty, {slant, 3, 3}), kcBadArgument);
}

}  // namespace
