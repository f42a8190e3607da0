// The one-call calibration against a camera, for any settings search that
// follows the calibration tool's protocol (init, done, repeatAcquire,
// nextSettingsFromAcquiredImages, result, channelResults): the camera is
// recorded and put back on every exit, switched to manual triggering,
// given the positive input table when asked, and acquired from as the
// search says until it is done or an acquisition fails; an optional
// observer hears of each acquisition and each step.
#pragma once

#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/calibration_observer.h"
#include "colc/driver/result_diagnostics.h"
#include "colc/host/runtime.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/tool/pose.h"

namespace kcCalibrationLoop {

inline void attentionCheck() { kfThrowExceptionOnFailure(ksys_attention_check()); }

// True when every entry i of the FIFO's input table (plane 0) is i.
bool hasIdentityTable(const kcPtrHandle<kcAcqFifo>& fifo);

// One more acquisition with the camera as it is, recorded with the result;
// nothing is recorded when it fails.
void recordFinalImages(const kcPtrHandle<kcAcqFifo>& fifo, const kcColorCalibrationResult& result,
                       kcAcquireInfo& acqInfo, kcDiagObject* diag, unsigned long diagFlags);

// One acquisition of the search, told to the observer (when there is one) first.
inline kcPtrHandle<kcAcqImage> acquireForSearch(const kcPtrHandle<kcAcqFifo>& fifo,
                                                const kcColorCameraSettings& settings, kcAcquireInfo& acqInfo,
                                                bool& failed, kcCalibrationObserver* observer) {
  if (observer != nullptr) observer->acquiring(settings, keCalibrationAcquisition::eSearch);
  return kfAcquireImage(fifo, settings, acqInfo, failed);
}

// The search loop: acquire with the search's settings, step it, until it
// is done or an acquisition fails. Returns the settings of its last
// acquisition, which the camera still holds.
template <class Search>
kcColorCameraSettings search(Search& search, const kcPtrHandle<kcAcqFifo>& fifo,
                             const kc3PlanePelBuffer& calibrationImage, const kcColorCalibrationParams& params,
                             const kcColorCameraSettings& start, kcAcquireInfo& acqInfo, kcDiagObject* diag,
                             unsigned long diagFlags, kcCalibrationObserver* observer) {
  kcColorCameraSettings next = search.init(params, start, calibrationImage);
  kcColorCameraSettings acquired = start;
  kcPtrHandle<kcAcqImage> first;
  kcPtrHandle<kcAcqImage> second;
  while (!search.done()) {
    attentionCheck();
    bool failed = false;
    acquired = next;
    first = acquireForSearch(fifo, acquired, acqInfo, failed, observer);
    if (failed) return acquired;
    const bool repeat = search.repeatAcquire();
    if (repeat) {
      second = acquireForSearch(fifo, acquired, acqInfo, failed, observer);
      if (failed) return acquired;
    }
    attentionCheck();
    next = search.nextSettingsFromAcquiredImages(first, second, diag, diagFlags);
    if (observer != nullptr) observer->searchStepped({acquired, repeat ? 2 : 1, search.result()});
  }
  return acquired;
}

// The whole call with a constructed search. With resultBeforeRecords, the
// result's settings are applied before the result records' acquisition,
// for a search whose last acquisition need not have been at its result.
// pose receives the pose the search found, with the result. observer, when
// not null, hears of every acquisition and every step of the search.
template <class Search>
void calibrate(Search& search, kcPtrHandle<kcAcqFifo> fifo, const kc3PlanePelBuffer& calibrationImage,
               const kcColorCalibrationParams& params, kcColorCalibrationResult& result, kcDiagObject* diag,
               unsigned long diagFlags, bool resultBeforeRecords, kcCalibrationPose& pose,
               kcCalibrationObserver* observer) {
  kcAcquireInfo acqInfo;
  bool timedOut = false;
  const kcFifoStateSaver saver(fifo);  // puts the camera back on every exit from here on

  kfSwitchToManualTrigger(fifo);
  if (params.usePositive8BitLut()) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
  const kcColorCameraSettings start = kfCurrentCameraSettings(fifo);

  kcColorCameraSettings atCamera = start;
  try {
    atCamera = kcCalibrationLoop::search(search, fifo, calibrationImage, params, start, acqInfo, diag, diagFlags,
                                         observer);
  } catch (const kcTimeout::Expired&) {
    timedOut = true;  // what the search found so far becomes the result
  }

  // Everything is read before the caller's result is written, so a failing
  // camera read cannot leave it half filled.
  kcColorCalibrationResult filled;
  filled.exposure(search.result().exposure());
  filled.contrast(search.result().contrast());
  filled.brightness(search.result().brightness());
  filled.positive8BitLut(hasIdentityTable(fifo));
  filled.acqInfo(acqInfo);
  filled.channelResults(search.channelResults());
  result = filled;
  pose = search.pose();

  if (timedOut) throw kcTimeout::Expired();
  if ((diagFlags & kColorCalibrationDiagResults) != 0 && diag != nullptr) {
    if (resultBeforeRecords) {
      kfApplyCameraSettings(fifo, search.result());
      atCamera = search.result();
    }
    if (observer != nullptr) observer->acquiring(atCamera, keCalibrationAcquisition::eResultRecords);
    recordFinalImages(fifo, result, acqInfo, diag, diagFlags);
  }
}

}  // namespace kcCalibrationLoop
