// The score of a pose: high for the true pose however hard the view (noise,
// blur, planes of their own sensitivity, strong under- and overexposure,
// small and slanted), low for poses a third of a patch off, for clutter
// and for another chart.
#include "host/corr/target_score.h"

#include <gtest/gtest.h>

#include <cmath>

#include "colc/host/target_finder.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kView(1024, 768);

// Chart image coordinates -> matrix coordinates of the view, from the
// chart's matrix coordinates.
cv::Matx33d matrixPose(const cv::Matx33d& imagePose) {
  const cv::Matx33d half(1.0, 0.0, 0.5, 0.0, 1.0, 0.5, 0.0, 0.0, 1.0);
  return half.inv() * imagePose * half;
}

struct Scene {
  cv::Mat chart, view;
  cv::Matx33d imagePose, pose;  // image coordinates, matrix coordinates
  double pitch = 0.0;  // of the patches, chart pels
};

// A 6 x 4 chart at a slant, its planes weighed by planes, its light by
// exposure (clipped), blurred and noisy.
Scene scene(cv::RNG& rng, double scale, double tilt, const cv::Vec3d& planes, double exposure, double blur,
            double noise) {
  Scene s;
  s.chart = randomChart(cv::Size(6, 4), 300, rng);
  s.pitch = 50.0;
  PlanePose pose;
  pose.rotationDegrees = rng.uniform(-180.0, 180.0), pose.scale = scale, pose.centre = {510.0, 390.0};
  pose.tiltDegrees = tilt, pose.tiltAxisDegrees = rng.uniform(0.0, 180.0);
  const cv::Matx33d h = pose.homography(s.chart.size());
  s.view = grey(renderScene(scaledPlanes(s.chart, planes * exposure), clutter(kView, rng), h, rng, blur, noise));
  s.imagePose = h, s.pose = matrixPose(h);
  return s;
}

double score(const Scene& s, const cv::Matx33d& pose) { return kfTargetScore(grey(s.chart), s.view, pose); }

cv::Matx33d shifted(double dx, double dy) { return {1.0, 0.0, dx, 0.0, 1.0, dy, 0.0, 0.0, 1.0}; }

}  // namespace

TEST(TargetScore, TruePosesOnHardViewsScoreAboveTheWarning) {
  cv::RNG rng(3);
  struct Hard {
    const char* what;
    double scale, tilt;
    cv::Vec3d planes;
    double exposure, blur, noise;
  };
  for (const Hard& h : {Hard{"noise", 1.0, 10.0, {1, 1, 1}, 1.0, 0.6, 8.0},
                        Hard{"blur", 1.0, 10.0, {1, 1, 1}, 1.0, 2.5, 2.0},
                        Hard{"planes of their own sensitivity", 1.0, 10.0, {0.5, 1.0, 1.5}, 1.0, 0.6, 2.0},
                        Hard{"four times overexposed", 1.0, 10.0, {1, 1, 1}, 4.0, 0.6, 2.0},
                        Hard{"ten times underexposed", 1.0, 10.0, {1, 1, 1}, 0.1, 0.6, 2.0},
                        Hard{"small", 0.4, 10.0, {1, 1, 1}, 1.0, 0.6, 2.0},
                        Hard{"slanted", 1.5, 35.0, {1, 1, 1}, 1.0, 0.6, 2.0}}) {
    const Scene s = scene(rng, h.scale, h.tilt, h.planes, h.exposure, h.blur, h.noise);
    EXPECT_GT(score(s, s.pose), kTargetScoreWarn) << h.what;
  }
}

TEST(TargetScore, PosesAThirdOfAPatchOffClutterAndOtherChartsScoreBelowRefusal) {
  cv::RNG rng(4);
  const Scene s = scene(rng, 1.2, 20.0, {1, 1, 1}, 1.0, 0.6, 2.0);
  const double third = s.pitch / 3.0;
  // Moved in the chart's plane by a third of a patch, or scaled or turned
  // so that its outer patches move by a third.
  const cv::Point2d centre((s.chart.cols - 1) * 0.5, (s.chart.rows - 1) * 0.5);
  const double outer = 0.5 * (s.chart.cols - s.pitch);
  const double grow = 1.0 + third / outer, turn = third / outer;
  const cv::Matx33d scaled = shifted(centre.x, centre.y) * cv::Matx33d(grow, 0, 0, 0, grow, 0, 0, 0, 1) *
                             shifted(-centre.x, -centre.y);
  const cv::Matx33d turned = shifted(centre.x, centre.y) *
                             cv::Matx33d(std::cos(turn), -std::sin(turn), 0, std::sin(turn), std::cos(turn), 0, 0, 0, 1) *
                             shifted(-centre.x, -centre.y);
  for (const cv::Matx33d& off : {shifted(third, 0.0), shifted(0.0, third), shifted(0.7 * third, -0.7 * third), scaled,
                                 turned})
    EXPECT_LT(score(s, s.pose * off), kTargetScoreRefuse);
  const cv::Mat bare = grey(renderScene(otherChart(s.chart.size()), clutter(kView, rng), s.imagePose, rng));
  EXPECT_LT(kfTargetScore(grey(s.chart), bare, s.pose), kTargetScoreRefuse) << "another chart";
  EXPECT_LT(kfTargetScore(grey(s.chart), grey(clutter(kView, rng)), s.pose), kTargetScoreRefuse) << "clutter";
}
