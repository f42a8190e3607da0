// Acquisition control: recording and restoring a FIFO's state, applying
// camera settings, acquiring one image, and the grey form of an image.
#pragma once

#include <vector>

#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"

// Records a FIFO's trigger enable, trigger model, contrast and brightness
// (of tap 0), exposure and input table (of plane 0) when constructed, and
// puts them back when destroyed, on every tap and plane. A null FIFO
// throws kcBadPointer before anything is read.
class kcFifoStateSaver {
 public:
  explicit kcFifoStateSaver(kcPtrHandle<kcAcqFifo> fifo);
  // Restores in the order: trigger disabled, input table, trigger model,
  // contrast, brightness, exposure, trigger enable. A failing write ends
  // the restore there; the failure is swallowed, since a destructor may
  // run while another exception is on its way.
  ~kcFifoStateSaver();
  kcFifoStateSaver(const kcFifoStateSaver&) = delete;
  kcFifoStateSaver& operator=(const kcFifoStateSaver&) = delete;

 private:
  kcPtrHandle<kcAcqFifo> fifo_;
  std::vector<unsigned char> table_;
  bool triggerEnable_ = false;
  const kcTriggerModel* triggerModel_ = nullptr;
  double contrast_ = 0.0;
  double brightness_ = 0.0;
  double exposure_ = 0.0;
};

// Writes the settings with the trigger disabled: exposure, contrast and
// brightness on all taps; the trigger ends enabled. Host exceptions pass
// through and leave the writes made so far.
void kfApplyCameraSettings(kcPtrHandle<kcAcqFifo> fifo, kcColorCameraSettings settings);

// Switches the FIFO to the manual trigger, disabling the trigger over the
// change and enabling it after: how a calibration takes its images, one
// per start.
void kfSwitchToManualTrigger(const kcPtrHandle<kcAcqFifo>& fifo);

// The settings the FIFO would acquire with now: its exposure, and the
// contrast and brightness of its first tap.
kcColorCameraSettings kfCurrentCameraSettings(const kcPtrHandle<kcAcqFifo>& fifo);

// One acquisition with the settings: apply them, check for attention,
// start, wait without limit for the completion into info. failed is set
// when info reports a failure (the image is then not looked at) or the
// image is unbound; a successful completion with a null image throws
// kcBadPointer. Returns the image handle in every case.
kcPtrHandle<kcAcqImage> kfAcquireImage(kcPtrHandle<kcAcqFifo> fifo, const kcColorCameraSettings& settings,
                                       kcAcquireInfo& info, bool& failed);

// The image as 8-bit grey: the image's own grey form when it offers one,
// otherwise the intensity of its colour planes.
kcPelBuffer<unsigned char> kfGrey8Image(kcPtrHandle<kcAcqImage>& image);
