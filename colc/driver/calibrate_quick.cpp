#include "colc/driver/calibrate_quick.h"

#include "colc/driver/internal/calibration_loop.h"
#include "colc/tool/internal/quick_search.h"

void kfColorCalibrateQuick(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                           const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                           unsigned long diagFlags) {
  kcCalibrationPose unused;
  kfColorCalibrateQuick(std::move(fifo), calibrationImage, params, result, diag, diagFlags, unused);
}

void kfColorCalibrateQuick(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                           const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                           unsigned long diagFlags, kcCalibrationPose& pose) {
  kcColorCalibrationQuickSearch search;
  kcCalibrationLoop::calibrate(search, fifo, calibrationImage, params, result, diag, diagFlags, true, pose, nullptr);
}

void kfColorCalibrateQuickObserved(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                                   const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                                   unsigned long diagFlags, kcCalibrationPose& pose, kcCalibrationObserver& observer) {
  kcColorCalibrationQuickSearch search;
  kcCalibrationLoop::calibrate(search, fifo, calibrationImage, params, result, diag, diagFlags, true, pose, &observer);
}
