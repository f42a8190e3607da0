// "colc check": whether a camera still reproduces its stored calibration.
// A few images at the stored settings, corrected as colc apply corrects
// them, their colour error against the one stored at calibration, and a
// verdict with an exit status of its own.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "app/camera.h"
#include "check_verdict.h"
#include "app/colour_error.h"
#include "app/files.h"

struct CheckOptions {
  std::string result;
  std::string camera = "sim";
  std::string reference;  // empty: the built-in target
  bool force = false;     // check a result stored for another camera all the same
  double restoreTimeout = kDefaultRestoreTimeout;
  bool json = false;
};

// Images the check takes at most.
constexpr int kMostCheckAcquisitions = 5;

struct CameraCheck {
  kcCalibrationContext calibrated;  // as stored
  ColourError now;                  // through the stored correction, now
  int acquisitions = 0;
  std::optional<double> cameraSeconds;  // for a camera that keeps time
  CheckVerdict verdict = CheckVerdict::stillCalibrated;
  bool otherCamera = false;  // checked with --force
};

// Measures the opened camera through the stored calibration; the camera
// is left as found. A result from another camera is refused unless force.
CameraCheck checkCamera(const OpenedCamera& camera, const StoredCalibration& calibration,
                        const kc3PlanePelBuffer& reference, bool force);

CLI::App* addCheckCommand(CLI::App& app, CheckOptions& options);
void runCheck(const CheckOptions& options, std::ostream& out);
