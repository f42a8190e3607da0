#include "colc/driver/acquisition.h"

#include <limits>

#include "colc/host/improc.h"
#include "colc/host/runtime.h"

namespace {

constexpr auto kChannel0 = kcContrastBrightnessProp::eTap0;
constexpr auto kPlane0 = kc8BitInputLutProp::ePlane0;
constexpr auto kAllTaps = kcContrastBrightnessProp::kAllTaps;

}  // namespace

kcFifoStateSaver::kcFifoStateSaver(kcPtrHandle<kcAcqFifo> fifo) : fifo_(fifo), table_(256) {
  triggerEnable_ = fifo_->triggerEnable();
  triggerModel_ = &fifo_->triggerModel();
  contrast_ = fifo_->properties().contrastBrightnessProp().contrast(kChannel0);
  brightness_ = fifo_->properties().contrastBrightnessProp().brightness(kChannel0);
  exposure_ = fifo_->properties().exposureProp().exposure();
  // The table is fetched afresh for every entry: the pointer a FIFO hands
  // out is only good until its next change.
  for (std::size_t i = 0; i < table_.size(); ++i) table_[i] = fifo_->properties().inputLutProp().inputLut(kPlane0)[i];
}

kcFifoStateSaver::~kcFifoStateSaver() {
  try {
    fifo_->triggerEnable(false);
    fifo_->properties().inputLutProp().inputLut(table_.data());
    fifo_->triggerModel(*triggerModel_);
    fifo_->properties().contrastBrightnessProp().setContrastEx(contrast_, kAllTaps);
    fifo_->properties().contrastBrightnessProp().setBrightnessEx(brightness_, kAllTaps);
    fifo_->properties().exposureProp().exposure(exposure_);
    fifo_->triggerEnable(triggerEnable_);
  } catch (...) {
    // The FIFO keeps whatever the restore managed before the failure.
  }
}

void kfApplyCameraSettings(kcPtrHandle<kcAcqFifo> fifo, kcColorCameraSettings settings) {
  fifo->triggerEnable(false);
  fifo->properties().exposureProp().exposure(settings.exposure());
  fifo->properties().contrastBrightnessProp().setContrastEx(settings.contrast(), kAllTaps);
  fifo->properties().contrastBrightnessProp().setBrightnessEx(settings.brightness(), kAllTaps);
  fifo->triggerEnable(true);
}

void kfSwitchToManualTrigger(const kcPtrHandle<kcAcqFifo>& fifo) {
  fifo->triggerEnable(false);
  fifo->triggerModel(kfManualTrigger());
  fifo->triggerEnable(true);
}

kcColorCameraSettings kfCurrentCameraSettings(const kcPtrHandle<kcAcqFifo>& fifo) {
  const kcAcqProps props = fifo->properties();
  return {props.exposureProp().exposure(), props.contrastBrightnessProp().contrast(kChannel0),
          props.contrastBrightnessProp().brightness(kChannel0)};
}

kcPtrHandle<kcAcqImage> kfAcquireImage(kcPtrHandle<kcAcqFifo> fifo, const kcColorCameraSettings& settings,
                                       kcAcquireInfo& info, bool& failed) {
  kfApplyCameraSettings(fifo, settings);
  kfThrowExceptionOnFailure(ksys_attention_check());
  fifo->start(0);
  const kcAcqFifo::CompleteArgs args{true, std::numeric_limits<double>::infinity(), false, nullptr, &info};
  kcPtrHandle<kcAcqImage> image = fifo->completeAcq(args);
  if (info.failure().status() != 0) {
    failed = true;
  } else {
    failed = !image->isBound();  // a null image throws kcBadPointer here
  }
  return image;
}

kcPelBuffer<unsigned char> kfGrey8Image(kcPtrHandle<kcAcqImage>& image) {
  if (image->isConversionSupported(eImageFormatGrey8)) return image->getGrey8PelBuffer();
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(image->get3PlanePelBuffer(), grey);
  return grey;
}
