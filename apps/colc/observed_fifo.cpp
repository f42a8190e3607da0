#include "observed_fifo.h"

ObservedAcqFifo::ObservedAcqFifo(kcPtrHandle<kcAcqFifo> inner, Listener listener)
    : inner_(inner), listener_(std::move(listener)) {
  if (!inner_) throw kcBadPointer("null FIFO to observe");
}

bool ObservedAcqFifo::start(unsigned long flags) {
  listener_(currentCameraSettings(inner_));
  return inner_->start(flags);
}

kcPtrHandle<kcAcqImage> ObservedAcqFifo::completeAcq(const CompleteArgs& args) {
  kcPtrHandle<kcAcqImage> image = inner_->completeAcq(args);
  if (!image || !image->isBound()) ++emptyImages_;
  return image;
}

kcColorCameraSettings currentCameraSettings(const kcPtrHandle<kcAcqFifo>& fifo) {
  const kcAcqProps props = fifo->properties();
  return {props.exposureProp().exposure(), props.contrastBrightnessProp().contrast(kcContrastBrightnessProp::eTap0),
          props.contrastBrightnessProp().brightness(kcContrastBrightnessProp::eTap0)};
}
