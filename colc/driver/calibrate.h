// The one-call calibration against a camera.
#pragma once

#include "colc/driver/calibration_observer.h"
#include "colc/host/acq.h"
#include "colc/host/diag.h"
#include "colc/host/imaging.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/tool/pose.h"

// Runs a whole calibration: searches the camera's exposure, contrast and
// brightness under which it reproduces calibrationImage best, fits the
// per-plane corrections, and fills result. The camera is left exactly as
// it was found, on every exit. A failed acquisition ends the search early
// with a filled result; a time-out fills the result and then throws
// kcTimeout::Expired; any other failure throws and leaves result untouched.
// With kColorCalibrationDiagResults (colc/balance/balance.h) in diagFlags
// and a diag, one more image is acquired and recorded plain, pel-mapped and
// grey.
void kfColorCalibrate(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                      const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                      unsigned long diagFlags);
// The same, also handing out the pose the search found in its first image
// (unbound when it found none), so that a caller comparing later views of
// the same scene with the calibration image need not find it again.
void kfColorCalibrate(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                      const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                      unsigned long diagFlags, kcCalibrationPose& pose);
// The same again, telling observer of every acquisition and of every step
// of the search as they happen (colc/driver/calibration_observer.h).
void kfColorCalibrateObserved(kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
                              const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
                              unsigned long diagFlags, kcCalibrationPose& pose, kcCalibrationObserver& observer);
