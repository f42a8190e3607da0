// Where the simulated camera shows a tilted target: the pose's centre and
// scale hold, the near side comes out longer, and the mapping inverts.
#include <gtest/gtest.h>

#include <cmath>

#include "host/acq/sim/target_projection.h"

namespace {

constexpr long kTargetWidth = 300, kTargetHeight = 200;

kcSimCameraConfig tilted(double tilt, double axis) {
  kcSimCameraConfig c;
  c.width = 640;
  c.height = 480;
  c.pose = {350.2, 210.7, 15.0, 1.2, tilt, axis};
  return c;
}

kcSimPoint sensorPoint(const kcSimProjection& p, double x, double y) {
  const std::optional<kcSimPoint> shown = p.toSensor({x, y});
  EXPECT_TRUE(shown) << x << ", " << y;
  return shown.value_or(kcSimPoint{});
}

double distance(kcSimPoint a, kcSimPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The length on the sensor of the target's side from (x0, y0) to (x1, y1).
double sideLength(const kcSimProjection& p, double x0, double y0, double x1, double y1) {
  return distance(sensorPoint(p, x0, y0), sensorPoint(p, x1, y1));
}

TEST(SimProjection, TiltKeepsTheCentreAndTheScaleAlongItsAxisAndLengthensTheNearSide) {
  constexpr double w = kTargetWidth, h = kTargetHeight, cx = w / 2, cy = h / 2, d = 1e-3;
  for (double axis : {0.0, 90.0, 35.0}) {
    const kcSimCameraConfig config = tilted(30.0, axis);
    const kcSimProjection p(config, kTargetWidth, kTargetHeight);
    const kcSimPoint centre = sensorPoint(p, cx, cy);
    EXPECT_NEAR(centre.x, 350.2, 1e-9);
    EXPECT_NEAR(centre.y, 210.7, 1e-9);
    // A short step along the axis (counter-clockwise as displayed: y up).
    const double a = axis * M_PI / 180.0;
    EXPECT_NEAR(distance(centre, sensorPoint(p, cx + d * std::cos(a), cy - d * std::sin(a))) / d, 1.2, 1e-5) << axis;
  }
  // About the horizontal axis the top comes nearer, about the vertical one
  // the left: nearer sides are longer, by the ratio of the sides' depths.
  const kcSimProjection aboutHorizontal(tilted(30.0, 0.0), kTargetWidth, kTargetHeight);
  const double top = sideLength(aboutHorizontal, 0, 0, w, 0), bottom = sideLength(aboutHorizontal, 0, h, w, h);
  const double f = std::hypot(640.0, 480.0), depth = 1.2 * std::sin(M_PI / 6) * h / 2;
  EXPECT_NEAR(top / bottom, (f + depth) / (f - depth), 1e-9);
  EXPECT_GT(top / bottom, 1.1);
  const kcSimProjection aboutVertical(tilted(30.0, 90.0), kTargetWidth, kTargetHeight);
  EXPECT_GT(sideLength(aboutVertical, 0, 0, 0, h), 1.1 * sideLength(aboutVertical, w, 0, w, h));
  // Untilted, opposite sides are equal.
  const kcSimProjection square(tilted(0.0, 0.0), kTargetWidth, kTargetHeight);
  EXPECT_NEAR(sideLength(square, 0, 0, w, 0), sideLength(square, 0, h, w, h), 1e-9);
}

TEST(SimProjection, SensorPointsMapBackToTheTargetPointsTheyShow) {
  for (double distortion : {-0.3, 0.0, 0.3}) {
    kcSimCameraConfig config = tilted(50.0, 120.0);
    config.distortion = distortion;
    config.focal = 700.0;
    const kcSimProjection p(config, kTargetWidth, kTargetHeight);
    for (const kcSimPoint t : {kcSimPoint{0, 0}, kcSimPoint{300, 0}, kcSimPoint{17.5, 180.25}, kcSimPoint{150, 100}}) {
      const kcSimPoint back = p.toTarget(sensorPoint(p, t.x, t.y)).value();
      EXPECT_NEAR(back.x, t.x, 1e-9) << distortion;
      EXPECT_NEAR(back.y, t.y, 1e-9) << distortion;
    }
  }
  // Tilted 60 degrees before a wide lens, the target's top passes beside
  // the camera and its bottom recedes toward a horizon 58 pels below the
  // sensor's centre: sensor points past it see no point of the plane, and
  // target points behind the camera show nowhere.
  kcSimCameraConfig steep = tilted(60.0, 0.0);
  steep.focal = 100.0;
  const kcSimProjection p(steep, kTargetWidth, kTargetHeight);
  EXPECT_FALSE(p.toTarget({350.2, 479.0}));
  EXPECT_TRUE(p.toTarget({350.2, 0.0}));
  EXPECT_FALSE(p.toSensor({150.0, -1000.0}));
}

}  // namespace
