// A FIFO that passes every call on to another one, tells a listener the
// settings of each acquisition as it is started and counts the images that
// came back empty: how colc follows a calibration (progress, search path,
// camera failures) without the module knowing.
#pragma once

#include <functional>

#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"

class ObservedAcqFifo : public kcAcqFifo {
 public:
  using Listener = std::function<void(const kcColorCameraSettings&)>;

  // kcBadPointer for a null inner FIFO.
  ObservedAcqFifo(kcPtrHandle<kcAcqFifo> inner, Listener listener);

  kcAcqProps properties() override { return inner_->properties(); }
  const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
  void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
  bool triggerEnable() const override { return inner_->triggerEnable(); }
  void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
  // Tells the listener the settings in force, then starts.
  bool start(unsigned long flags) override;
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;

  // Completions that delivered a null or unbound image.
  unsigned long emptyImages() const { return emptyImages_; }

 private:
  kcPtrHandle<kcAcqFifo> inner_;
  Listener listener_;
  unsigned long emptyImages_ = 0;
};

// The FIFO's exposure, and the contrast and brightness of its first tap.
kcColorCameraSettings currentCameraSettings(const kcPtrHandle<kcAcqFifo>& fifo);
