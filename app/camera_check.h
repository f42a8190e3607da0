// Whether a camera still reproduces its stored calibration: an image at
// the stored settings, corrected as colc apply corrects it, its colour
// error over the reference's flat regions against the one stored at
// calibration, and a verdict.
#pragma once

#include <optional>
#include <string>

#include "app/camera.h"
#include "app/check_verdict.h"
#include "app/colour_error.h"
#include "app/files.h"

// Images a check takes at most.
constexpr int kMostCheckAcquisitions = 5;

struct CameraCheck {
  kcCalibrationContext calibrated;  // as stored
  ColourError now;                  // through the stored correction, now
  int acquisitions = 0;
  std::optional<double> cameraSeconds;  // for a camera that keeps time
  CheckVerdict verdict = CheckVerdict::stillCalibrated;
  bool otherCamera = false;  // checked with force
  // What a report shows: the view now on the reference's grid through the
  // stored correction, the regions that lost colour to clipping in it, and
  // the error region by region (colourErrorPicture).
  kc3PlanePelBuffer correctedView;
  ClippedRegions clipped;
  kc3PlanePelBuffer errorPicture;

  double drift() const { return now.mean - calibrated.colourErrorMean; }
};

// The stored context a check measures against. A result without one, or
// without the colour error it reached (stored by an earlier colc), is
// refused as a CommandFailure (badArchive).
const kcCalibrationContext& checkableContext(const StoredCalibration& calibration);

// Refuses (CommandFailure, imagesRefused) a reference other than the one the
// result was calibrated against: its pels differ. name: how to call it.
void checkCalibratedReference(const StoredCalibration& calibration, const kc3PlanePelBuffer& reference,
                              const std::string& name);

// Who a context names, for people: the camera's vendor, model and serial
// number, or the photograph it was fitted on.
std::string calibratedCameraName(const kcCalibrationContext& context);

// Measures the opened camera through the stored calibration against the
// reference it was calibrated with; the camera is left as found. A result
// from another camera is refused (CommandFailure, otherCamera) unless force.
CameraCheck checkCamera(const OpenedCamera& camera, const StoredCalibration& calibration,
                        const kc3PlanePelBuffer& reference, bool force);
