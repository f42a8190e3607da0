#include "colc/driver/calibrate.h"

#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/result_diagnostics.h"
#include "colc/host/runtime.h"
#include "colc/tool/tool.h"

namespace {

void attentionCheck() { kfThrowExceptionOnFailure(ksys_attention_check()); }

// True when every entry i of the FIFO's input table (plane 0) is i.
bool hasIdentityTable(const kcPtrHandle<kcAcqFifo>& fifo) {
  bool identity = true;
  for (int i = 0; i < 256; ++i) {
    const unsigned char* table = fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::ePlane0);
    identity = identity && table[i] == i;
  }
  return identity;
}

kcColorCameraSettings currentSettings(const kcPtrHandle<kcAcqFifo>& fifo) {
  kcColorCameraSettings settings;
  settings.exposure(fifo->properties().exposureProp().exposure());
  settings.contrast(fifo->properties().contrastBrightnessProp().contrast(kcContrastBrightnessProp::eTap0));
  settings.brightness(fifo->properties().contrastBrightnessProp().brightness(kcContrastBrightnessProp::eTap0));
  return settings;
}

// The search loop: acquire with the tool's settings, step the tool, until it
// is done or an acquisition fails.
void search(kcColorCalibrationTool& tool, const kcPtrHandle<kcAcqFifo>& fifo,
            const kc3PlanePelBuffer& calibrationImage, const kcColorCalibrationParams& params,
            const kcColorCameraSettings& start, kcAcquireInfo& acqInfo, kcDiagObject* diag,
            unsigned long diagFlags) {
  kcColorCameraSettings next = tool.init(params, start, calibrationImage);
  kcPtrHandle<kcAcqImage> first;
  kcPtrHandle<kcAcqImage> second;
  while (!tool.done()) {
    attentionCheck();
    bool failed = false;
    first = kfAcquireImage(fifo, next, acqInfo, failed);
    if (failed) return;
    if (tool.repeatAcquire()) {
      second = kfAcquireImage(fifo, next, acqInfo, failed);
      if (failed) return;
    }
    attentionCheck();
    next = tool.nextSettingsFromAcquiredImages(first, second, diag, diagFlags);
  }
}

// One more acquisition with the camera as the search left it, recorded
// with the result; nothing is recorded when it fails.
void recordFinalImages(const kcPtrHandle<kcAcqFifo>& fifo, const kcColorCalibrationResult& result,
                       kcAcquireInfo& acqInfo, kcDiagObject* diag, unsigned long diagFlags) {
  fifo->start(0);
  kcAcqFifo::CompleteArgs args;
  args.info = &acqInfo;
  kcPtrHandle<kcAcqImage> image = fifo->completeAcq(args);
  if (acqInfo.failure().isFailure() || !image->isBound()) return;
  kfRecordCalibrationImages(result, image, diag, diagFlags);
}

}  // namespace

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
  kcAcquireInfo acqInfo;
  bool timedOut = false;
  const kcFifoStateSaver saver(fifo);  // puts the camera back on every exit from here on

  fifo->triggerEnable(false);
  fifo->triggerModel(kfManualTrigger());
  fifo->triggerEnable(true);
  if (params.usePositive8BitLut()) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
  const kcColorCameraSettings start = currentSettings(fifo);

  try {
    search(tool, fifo, calibrationImage, params, start, acqInfo, diag, diagFlags);
  } catch (const kcTimeout::Expired&) {
    timedOut = true;  // what the search found so far becomes the result
  }

  // Everything is read before the caller's result is written, so a failing
  // camera read cannot leave it half filled.
  kcColorCalibrationResult filled;
  filled.exposure(tool.result().exposure());
  filled.contrast(tool.result().contrast());
  filled.brightness(tool.result().brightness());
  filled.positive8BitLut(hasIdentityTable(fifo));
  filled.acqInfo(acqInfo);
  filled.channelResults(tool.channelResults());
  result = filled;
  pose = tool.pose();

  if (timedOut) throw kcTimeout::Expired();
  if ((diagFlags & kColorCalibrationDiagResults) != 0 && diag != nullptr) recordFinalImages(fifo, result, acqInfo, diag, diagFlags);
}
