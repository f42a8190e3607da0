// A one-call calibration run through the view camera's default view and
// through turned, scaled views off the pel grid, with what every such run
// must show: the corrected view far closer to the reference on every plane
// and the camera as it was found.
#pragma once

#include <string>
#include <vector>

#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "host/acq/sim/sim_camera.h"

using CalibrateCall = void (*)(kcPtrHandle<kcAcqFifo>, const kc3PlanePelBuffer&, const kcColorCalibrationParams&,
                               kcColorCalibrationResult&, kcDiagObject*, unsigned long);

struct PoseCalibration {
  std::string pose;  // the view camera's options
  kcColorCalibrationResult result;
  unsigned long acquisitions = 0;
};

// One image at the settings, under the manual trigger; a failed
// acquisition fails the test.
kc3PlanePelBuffer kfAcquireAt(const kcPtrHandle<kcInstrumentedAcqFifo>& fifo, const kcColorCameraSettings& settings);

// Calibrates with default parameters in each pose, expecting the mean
// absolute difference per plane after it below 0.15 of the one before.
std::vector<PoseCalibration> kfCalibrateInEveryPose(CalibrateCall calibrate);
