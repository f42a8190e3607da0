// What a calibration tells as it goes: every acquisition as it is about to
// be made, with what it is for, and every step of the search as it ends.
// An application follows a calibration through it (progress, the search's
// path) without watching the camera or guessing at the search.
#pragma once

#include "colc/host/camera_settings.h"

// What an acquisition of a calibration is for.
enum class keCalibrationAcquisition : int {
  eSearch = 1,         // an image the search is handed
  eResultRecords = 2,  // the one more image recorded with the result (kColorCalibrationDiagResults)
};

// One step of the search: the images it was handed, all taken at the same
// settings, and where the search stood after it.
struct kcCalibrationSearchStep {
  kcColorCameraSettings acquired;
  int images = 1;  // one, or two when the search asked for a repeated acquisition
  // The search's best settings after the step (its result()). Before its
  // first measurement a search has none, and this is what it held before.
  kcColorCameraSettings best;
};

class kcCalibrationObserver {
 public:
  virtual ~kcCalibrationObserver() = default;
  // An acquisition at settings is about to be made.
  virtual void acquiring(const kcColorCameraSettings& settings, keCalibrationAcquisition purpose) = 0;
  // The search has taken a step with the images of step.
  virtual void searchStepped(const kcCalibrationSearchStep& step) = 0;
};
