// One calibration of the simulated camera at one pose, measured: the
// settings it chose, the view's difference from the chart before and after
// (the measure colc calibrate reports), and the colour error of the chart's
// patches at the calibrated settings, which needs no pose finding: the
// sweep knows where the camera put the chart.
#pragma once

#include <array>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "host/acq/sim/sim_camera.h"
#include "start_settings.h"

struct SweepCase {
  int pose = 0;  // the pose's number: 0 the pel-aligned pose, random ones from 1
  kcSimPose placement;
  double crossTalk = 0.0;
  bool quick = false;  // calibrated with the quick search
  unsigned long noiseSeed = 1;  // seeds the camera's noise
  // The settings the camera opens with; unset: the camera's defaults.
  std::optional<kcColorCameraSettings> start;
  double shading = 0.0;  // the camera's falloff of light toward its corners
};

struct PoseMeasurement {
  SweepCase sweepCase;
  // Why the calibration failed; empty when it did not. The fields below
  // are set only when it did not.
  std::string failure;
  double exposure = 0.0;
  double contrast = 0.0;
  double brightness = 0.0;
  // What the calibration cost on the camera: its acquisitions and the time
  // a real camera would have needed for them (exposure plus read-out).
  unsigned long acquisitions = 0;
  double cameraSeconds = 0.0;
  // The exposure ended at either end of the search's exposure range.
  bool atExposureEdge = false;
  std::array<double, 3> before{};
  std::array<double, 3> after{};
  // CIEDE2000 between each patch's colour and the mean of its interior in
  // the calibrated, pel-mapped view: mean and maximum over the patches.
  double meanDeltaE = 0.0;
  double maxDeltaE = 0.0;
  // The same through the whole correction that colc calibrate would apply:
  // the colour correction it adopts, named in correction ("encoded" or
  // "linear"; "none" leaves the pel maps and their error).
  double correctedMeanDeltaE = 0.0;
  double correctedMaxDeltaE = 0.0;
  std::string correction = "none";
  // Patches whose interior is clipped in the view before the pel maps.
  int clippedPatches = 0;
  // The search's own score of its result (the fits' RMS error over their
  // active share, lower is better), measured on the fresh view at the
  // calibrated settings, against the pose the search found: the figure
  // both searches minimise, comparable between them. Unset when the fit
  // failed on that view.
  std::optional<double> score;
  // With --untilted-twins, a tilted pose's corrected mean CIEDE2000 of the
  // same pose calibrated square to the camera.
  std::optional<double> untiltedCorrectedMeanDeltaE;
};

// The share of a patch's side left out of its interior on every side.
constexpr double kPatchMargin = 0.2;
// A patch is clipped when more than this share of its interior has some
// plane at 0 or 255.
constexpr double kClippedShare = 0.01;

// Opens a simulated camera with its defaults but for the sensor size, the
// case's pose, cross-talk, start settings and shading and the built-in chart chartWidth pels wide,
// calibrates it with default parameters (with the quick search when the
// case says so) and measures the result, all with
// the trigger manual, as colc calibrate does. Failures are recorded, not
// thrown.
PoseMeasurement measurePose(const SweepCase& sweepCase, cv::Size sensor, long chartWidth);
