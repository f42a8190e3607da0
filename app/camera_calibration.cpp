#include "app/camera_calibration.h"

#include "colc/balance/color_correction_fit.h"

CalibrationRun calibrateCamera(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference) {
  return runCalibration(camera, reference, kcColorCalibrationParams(), false, [](const kcColorCameraSettings&) {},
                        CalibrationSearch::quick);
}

StoredCalibration storedCalibration(const CalibrationRun& run) { return {run.result, run.colour.correction}; }

kc3PlanePelBuffer applyCalibration(const StoredCalibration& calibration, const kc3PlanePelBuffer& image) {
  return kfCorrectImage(calibration.result, calibration.correctionOrNull(), image);
}
