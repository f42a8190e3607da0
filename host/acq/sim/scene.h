// The light that falls on the simulated sensor: the target at its pose on
// the background, per sensor plane (steps 1 and 2 of sensor_model.h).
// Rendering is slow next to an exposure, so the result is kept until the
// target or the pose changes.
#pragma once

#include <opencv2/core.hpp>

#include "colc/host/imaging.h"
#include "host/acq/sim/sim_camera.h"

class kcSimScene {
 public:
  // target: an sRGB colour image; kcBadPointer when unbound. crossTalk:
  // the share of light that leaks between planes (0..0.5).
  kcSimScene(const kc3PlanePelBuffer& target, const kcSimPose& pose, int width, int height, double crossTalk);

  void target(const kc3PlanePelBuffer& target);
  void pose(const kcSimPose& pose);
  const kcSimPose& pose() const { return pose_; }

  // The plane responses r_k as 16-bit levels (65535 = 1.0), the three
  // planes stacked: rows [k * height, (k + 1) * height) hold plane k.
  const cv::Mat& levels();

 private:
  cv::Mat render() const;

  cv::Mat targetLinear_;  // CV_32FC3, blue-green-red, linear light
  kcSimPose pose_;
  int width_;
  int height_;
  cv::Matx33f response_;  // step 2 of the model
  cv::Mat levels_;        // empty while stale
};
