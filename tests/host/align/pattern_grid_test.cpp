// The pattern search's grid as the target finder runs it: correlated only
// where the pattern can lie inside the image (strips of the warped image,
// directly in integers), and spread wider where it would cost more than
// its budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "host/align/grid_strips.h"
#include "host/align/pattern_search.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kView(640, 480);

AlignSearchSpace everyTurn() {
  AlignSearchSpace space;
  space.rotationLow = -std::numbers::pi - 0.1, space.rotationHigh = std::numbers::pi + 0.1;
  space.scaleLow = 0.75, space.scaleHigh = 1.25;
  space.accept = 0.3;
  space.coarseRadius = 8.0;
  return space;
}

TargetPose randomTurn(cv::RNG& rng) {
  return {rng.uniform(-180.0, 180.0), rng.uniform(0.8, 1.2), {rng.uniform(160.0, 480.0), rng.uniform(160.0, 320.0)}};
}

// The pattern's pels' outer edges all inside the quadrilateral.
bool fits(const std::array<cv::Point2d, 4>& quad, cv::Point placement, cv::Size pattern) {
  for (const double x : {placement.x - 0.5, placement.x + pattern.width - 0.5})
    for (const double y : {placement.y - 0.5, placement.y + pattern.height - 0.5})
      for (std::size_t i = 0; i < quad.size(); ++i) {
        const cv::Point2d a = quad[i], b = quad[(i + 1) % quad.size()];
        if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) < 0.0) return false;
      }
  return true;
}

}  // namespace

TEST(GridStrips, HoldEveryPlacementThatFitsAndItsNeighbours) {
  cv::RNG rng(9);
  const cv::Size pattern(13, 9), results(180, 150);
  for (int trial = 0; trial < 20; ++trial) {
    // A turned rectangle, corners clockwise as displayed (y down), partly
    // beyond the results at times.
    const double a = rng.uniform(0.0, 2.0 * std::numbers::pi);
    const cv::Point2d centre(rng.uniform(40.0, 150.0), rng.uniform(40.0, 120.0));
    const cv::Point2d u(std::cos(a), std::sin(a)), v(-std::sin(a), std::cos(a));
    const double w = rng.uniform(10.0, 90.0), h = rng.uniform(10.0, 70.0);
    const std::array<cv::Point2d, 4> quad{centre - w * u - h * v, centre + w * u - h * v, centre + w * u + h * v,
                                          centre - w * u + h * v};
    const int stripRows = rng.uniform(1, 40);
    cv::Mat covered(results, CV_8U, cv::Scalar(0));
    for (const cv::Rect& strip : kfGridStrips(quad, pattern, results, stripRows)) {
      ASSERT_EQ(strip & cv::Rect(cv::Point(0, 0), results), strip);
      ASSERT_LE(strip.height, stripRows);
      ASSERT_EQ(cv::countNonZero(covered(strip)), 0) << "strips overlap";
      covered(strip).setTo(1);
    }
    for (int y = 0; y < results.height; ++y)
      for (int x = 0; x < results.width; ++x) {
        if (!fits(quad, {x, y}, pattern)) continue;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const cv::Point n(x + dx, y + dy);
            if (n.inside(cv::Rect(cv::Point(0, 0), results))) {
              ASSERT_TRUE(covered.at<unsigned char>(n)) << n << ", trial " << trial;
            }
          }
      }
  }
}

TEST(PatternGrid, CorrelatingOnlyInsideFindsWhatTheWholeWarpedImageFinds) {
  cv::RNG rng(11);
  const cv::Mat chart = simChart(120);
  const AlignPatternModel model(grey(chart), 1);
  for (int trial = 0; trial < 3; ++trial) {
    const TargetPose truth = randomTurn(rng);
    const cv::Mat view = grey(renderScene(chart, clutter(kView, rng), truth.xform(), rng));
    AlignSearchSpace space = everyTurn();
    const std::vector<AlignMatch> whole = model.searchAll(view, space);
    space.directInside = true;
    const std::vector<AlignMatch> inside = model.searchAll(view, space);
    ASSERT_EQ(inside.size(), whole.size()) << "trial " << trial;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(inside[i].rotation, whole[i].rotation);
      EXPECT_EQ(inside[i].scale, whole[i].scale);
      EXPECT_EQ(inside[i].centre, whole[i].centre);
    }
    ASSERT_FALSE(inside.empty());
    const cv::Point2d seen(truth.centre.x - 0.5, truth.centre.y - 0.5);
    EXPECT_LT(cv::norm(inside.front().centre - seen), 1.0) << "trial " << trial;
  }
}

// A pattern of 40 x 27 pels keeps a radius of 15 pels on its coarsest
// level of 8 pels a side, where its grid over all turns would correlate
// about 8e9 pattern pels times placements in this view.
TEST(PatternGrid, AGridSpreadToItsBudgetStillFindsThePattern) {
  cv::RNG rng(12);
  cv::Mat chart;
  cv::resize(simChart(120), chart, cv::Size(40, 27), 0.0, 0.0, cv::INTER_AREA);
  const AlignPatternModel model(grey(chart), 1);
  AlignSearchSpace space = everyTurn();
  space.directInside = true;
  space.gridBudget = 1e9;
  for (int trial = 0; trial < 3; ++trial) {
    const TargetPose truth = randomTurn(rng);
    const cv::Mat view = grey(renderScene(chart, clutter(kView, rng), truth.xform(), rng));
    const std::vector<AlignMatch> found = model.searchAll(view, space);
    ASSERT_FALSE(found.empty()) << "trial " << trial;
    const AlignMatch& best = *std::max_element(found.begin(), found.end(),
                                               [](const AlignMatch& a, const AlignMatch& b) { return a.score < b.score; });
    EXPECT_LT(cv::norm(best.centre - cv::Point2d(truth.centre.x - 0.5, truth.centre.y - 0.5)), 1.0) << "trial " << trial;
    EXPECT_NEAR(std::remainder(best.rotation * 180.0 / std::numbers::pi - truth.rotationDegrees, 360.0), 0.0, 1.0);
    EXPECT_NEAR(best.scale, truth.scale, 0.02);
  }
}
