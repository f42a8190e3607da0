// A FIFO that passes every call on to another one and counts the images
// that came back empty: the module ends a search quietly at an empty image,
// and colc must tell that from a search that ended of itself.
#pragma once

#include "colc/host/acq.h"

class EmptyImageCountingFifo : public kcAcqFifo {
 public:
  // kcBadPointer for a null inner FIFO.
  explicit EmptyImageCountingFifo(kcPtrHandle<kcAcqFifo> inner);

  kcAcqProps properties() override { return inner_->properties(); }
  const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
  void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
  bool triggerEnable() const override { return inner_->triggerEnable(); }
  void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
  bool start(unsigned long flags) override { return inner_->start(flags); }
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;

  // Completions that delivered a null or unbound image.
  unsigned long emptyImages() const { return emptyImages_; }

 private:
  kcPtrHandle<kcAcqFifo> inner_;
  unsigned long emptyImages_ = 0;
};
