// The light that the simulated sensor's pels collect: the target at its
// pose on the background, blurred by the lens and integrated over each pel,
// per sensor plane (steps 1 to 3 of sensor_model.h).
// Rendering is slow next to an exposure, so the result is kept until the
// target or the pose changes.
#pragma once

#include <opencv2/core.hpp>

#include "colc/host/imaging.h"
#include "host/acq/sim/flat_runs.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_projection.h"

class kcSimScene {
 public:
  // target: an sRGB colour image, kcBadPointer when unbound; it stands in
  // for config.target. The configuration gives the pose, the sensor size,
  // the lens (focal length, distortion, blur), the pel integration, the
  // shading and the cross-talk.
  kcSimScene(const kc3PlanePelBuffer& target, const kcSimCameraConfig& config);

  void target(const kc3PlanePelBuffer& target);
  void pose(const kcSimPose& pose);
  const kcSimPose& pose() const { return view_.pose; }

  // The plane responses r_k as 16-bit levels (65535 = 1.0), the three
  // planes stacked: rows [k * height, (k + 1) * height) hold plane k.
  const cv::Mat& levels();
  // The runs of equal light in levels(), found with them.
  const kcSimFlatRuns& flatRuns();

 private:
  void render();
  // The light of the sensor pels, CV_32FC3 (steps 1 and 2).
  cv::Mat light() const;
  // Its samples' means, before the blur, for a target only turned, scaled
  // and placed.
  cv::Mat similarLight() const;
  // Multiplies the light by the shading's falloff toward the corners.
  void shade(cv::Mat& light) const;

  cv::Mat targetLinear_;  // CV_32FC3, blue-green-red, linear light
  // The pose, the sensor's size and the lens; its target is unbound.
  kcSimCameraConfig view_;
  kcSimProjection projection_;
  int width_;
  int height_;
  double blur_;
  bool integrate_;
  double shading_;
  cv::Matx33f response_;  // step 3 of the model
  int taps_;
  cv::Mat levels_;  // empty while stale
  kcSimFlatRuns flatRuns_;
};
