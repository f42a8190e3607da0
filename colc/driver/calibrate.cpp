#include "colc/driver/calibrate.h"

#include "colc/driver/internal/calibration_loop.h"
#include "colc/tool/tool.h"

void kfColorCalibrate(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                      const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                      unsigned long diagFlags) {
  kcCalibrationPose unused;
  kfColorCalibrate(std::move(fifo), calibrationImage, params, result, diag, diagFlags, unused);
}

void kfColorCalibrate(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                      const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                      unsigned long diagFlags, kcCalibrationPose& pose) {
  kcColorCalibrationTool tool;
  kcCalibrationLoop::calibrate(tool, fifo, calibrationImage, params, result, diag, diagFlags, false, pose, nullptr);
}

void kfColorCalibrateObserved(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                              const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                              unsigned long diagFlags, kcCalibrationPose& pose, kcCalibrationObserver& observer) {
  kcColorCalibrationTool tool;
  kcCalibrationLoop::calibrate(tool, fifo, calibrationImage, params, result, diag, diagFlags, false, pose, &observer);
}
