// One calibration as colc runs it: the camera's view at the settings it
// was found with, kfColorCalibrate, and the view at the calibrated settings
// with the pel maps applied; the camera is put back as it was found on
// every exit. Failures leave as CommandFailure of the kind that fits
// (target not found, camera failed); a cancellation as kcCancelled.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

struct CalibrationRun {
  kcColorCameraSettings start;
  kcColorCalibrationResult result;
  // The settings of every acquisition of the search, in order.
  std::vector<kcColorCameraSettings> acquisitions;
  double seconds = 0.0;  // the time kfColorCalibrate took
  kc3PlanePelBuffer startView;
  // The mean absolute difference per plane between the view, resampled
  // onto the reference's grid, and the reference: at the start settings,
  // and at the calibrated settings corrected through the pel maps.
  std::array<double, 3> before{};
  std::array<double, 3> after{};
  // The calibration's result records ("Color image" ...), when asked for.
  kcDiagObject diagnostics;
};

using AcquisitionListener = std::function<void(const kcColorCameraSettings&)>;

// onAcquisition hears of every acquisition of the search as it starts.
CalibrationRun runCalibration(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference,
                              const kcColorCalibrationParams& params, bool recordDiagnostics,
                              const AcquisitionListener& onAcquisition);
