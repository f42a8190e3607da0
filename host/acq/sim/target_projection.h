// Where the simulated camera shows each point of its target: the target's
// plane at its pose (centre, rotation, scale, tilt) seen through a pinhole
// lens, then bent by the lens's radial distortion. The camera renders its
// scene through this very mapping, so it is the ground truth of where each
// target point lands, for tests and sweeps.
#pragma once

#include <array>
#include <optional>

#include "host/acq/sim/sim_camera.h"

// A point in image coordinates: pel (x, y) covers [x, x + 1) x [y, y + 1).
struct kcSimPoint {
  double x = 0.0;
  double y = 0.0;
};

class kcSimProjection {
 public:
  // The view of a target of targetWidth x targetHeight pels at config's
  // pose on config's sensor, through config's lens. kcBadArgument for a
  // pose or lens out of range (a scale not above 0, a tilt outside 0..60
  // degrees, a focal length not above 0, distortion outside -0.3..0.3,
  // values that are not finite).
  kcSimProjection(const kcSimCameraConfig& config, long targetWidth, long targetHeight);
  // The same for config's target, or the built-in chart when it is unbound.
  explicit kcSimProjection(const kcSimCameraConfig& config);

  // The sensor point that shows target point p; none for a point behind
  // the camera or beyond the reach of a pincushion distortion.
  std::optional<kcSimPoint> toSensor(kcSimPoint p) const;
  // The point of the target's plane that sensor point p shows; none where
  // p sees past the plane's horizon.
  std::optional<kcSimPoint> toTarget(kcSimPoint p) const;

  // Target coordinates to sensor coordinates as the lens would show them
  // without distortion, row-major, scaled so that the third homogeneous
  // coordinate is a point's depth over that of the target's centre.
  const std::array<double, 9>& homography() const { return homography_; }
  double focal() const { return focal_; }
  // The distortion: its coefficient, its centre (the sensor's) and the
  // radius it counts in (the sensor's half diagonal).
  double distortion() const { return distortion_; }
  kcSimPoint opticalCentre() const { return opticalCentre_; }
  double unitRadius() const { return unitRadius_; }
  // Without tilt or distortion the target is only turned, scaled and placed.
  bool isSimilarity() const { return !tilted_ && distortion_ == 0.0; }

 private:
  std::array<double, 9> homography_{};
  std::array<double, 9> inverse_{};
  double focal_;
  double distortion_;
  kcSimPoint opticalCentre_;
  double unitRadius_;
  bool tilted_;
};
