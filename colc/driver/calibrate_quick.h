// The one-call calibration with the quick search (colc/tool/internal/quick_search.h).
#pragma once

#include "colc/driver/calibration_observer.h"
#include "colc/host/acq.h"
#include "colc/host/diag.h"
#include "colc/host/imaging.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/tool/pose.h"

// kfColorCalibrate with the quick search in place of the calibration
// tool's: the same parameters, result records, failure rules and the same
// promise to leave the camera exactly as it was found on every exit, in a
// few dozen acquisitions of one image each. With
// kColorCalibrationDiagResults in diagFlags and a diag, the result's
// settings are applied before the one more image that is recorded, since
// the search's last image need not be at them.
void kfColorCalibrateQuick(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                           const kcColorCalibrationParams& params, kcColorCalibrationResult& result,
                           kcDiagObject* diag, unsigned long diagFlags);
// The same, also handing out the pose the search found in its first image,
// as kfColorCalibrate's second form does.
void kfColorCalibrateQuick(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                           const kcColorCalibrationParams& params, kcColorCalibrationResult& result,
                           kcDiagObject* diag, unsigned long diagFlags, kcCalibrationPose& pose);
// The same again, telling observer of every acquisition and of every step
// of the search as they happen (colc/driver/calibration_observer.h).
void kfColorCalibrateQuickObserved(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                                   const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                                   unsigned long diagFlags, kcCalibrationPose& pose, kcCalibrationObserver& observer);
