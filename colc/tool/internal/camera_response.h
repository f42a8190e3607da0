// A model of how a camera's view of the calibration target follows its
// settings, learnt from a handful of views on the reference's grid. In
// linear light a camera's exposure and gain scale the signal and its black
// level adds to it, each almost linearly:
//
//   light(view at e, c, b) = level(e, c) * (light(base view) - black0) + black(b)
//   level(e, c) = (e / e0) * exp(gainSlope * (c - c0))
//   black(b)    = black0 + blackSlope * (b - b0)              (per plane)
//
// where e0, c0, b0 are the base view's settings and black0 its black level
// (per plane, from comparing it with the reference). From that the model
// predicts the view at any settings without acquiring it, clipping and
// rounding to pels as a camera does.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "colc/host/camera_settings.h"
#include "colc/host/imaging.h"

class kcCameraResponse {
 public:
  // baseView: the view at base on the reference's grid, the same size as
  // reference. Nothing when the base's exposure is not above 0 or no plane
  // of the view has enough unclipped samples to compare with the reference.
  static std::optional<kcCameraResponse> learn(const kcColorCameraSettings& base, const kc3PlanePelBuffer& baseView,
                                               const kc3PlanePelBuffer& reference);

  // Learns the black level's slope from a view at settings that differ
  // from the base in brightness only; the gain's slope from one that
  // differs in contrast only. A view without unclipped samples in common
  // with the base teaches nothing and leaves the slope as it was.
  void learnBlack(const kcColorCameraSettings& settings, const kc3PlanePelBuffer& view);
  void learnGain(const kcColorCameraSettings& settings, const kc3PlanePelBuffer& view);
  bool gainKnown() const { return gainSlope_ != 0.0; }
  bool blackKnown() const { return blackKnown_; }

  const kcColorCameraSettings& base() const { return base_; }
  double gainSlope() const { return gainSlope_; }
  // Black level per unit brightness, the mean over the planes.
  double meanBlackSlope() const;
  // The level of settings, relative to the base (1 there).
  double level(const kcColorCameraSettings& settings) const;
  // The brightness at which the mean black level over the planes is zero;
  // the base's brightness while the black's slope is unknown.
  double blackZeroBrightness() const;
  // The lowest brightness at which the camera does not clip the target's
  // dark end: where the black level under its flat areas, where the view's
  // light is an affine function of the reference's, reaches zero. Nothing
  // while the black's slope is unknown, or when the reference has too few
  // flat areas or colours to fit that function (a grey target).
  std::optional<double> unclippedBrightness() const;
  // The base's mean black level under the flat areas, in full scale
  // (below zero where it clips the target's dark end); nothing without them.
  std::optional<double> unclippedBlack() const { return flatBlack0_; }
  // The level at which the brightest of the base's samples (a high
  // percentile, over all planes) would just reach full scale.
  double fullScaleLevel() const;
  // The view predicted at a level and a brightness.
  kc3PlanePelBuffer predictedView(double level, double brightness) const;

 private:
  kcColorCameraSettings base_;
  long width_ = 0;
  long height_ = 0;
  // Per plane, per sample in row order: the base's light above its black.
  std::array<std::vector<float>, 3> signal_;
  std::array<double, 3> black0_{};
  std::optional<double> flatBlack0_;  // the mean black under the flat areas
  std::array<double, 3> blackSlope_{};
  bool blackKnown_ = false;
  double gainSlope_ = 0.0;
  std::array<std::vector<float>, 3> baseLight_;  // the base view's light, NaN where clipped

  kcCameraResponse() = default;
};
