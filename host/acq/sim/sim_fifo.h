// The simulated camera's FIFO (see sim_camera.h). On opening its trigger
// runs free and is enabled, with the configuration's exposure, contrast and
// brightness on every tap and the positive input table on every plane.
//
// Each delivered frame goes on the camera's frame clock (frame_clock.h),
// which only counts its time unless the camera was opened to sleep. A
// completion that could only wait (nothing started, or triggers disabled)
// throws kcTimeout::Expired at once, since no image would ever arrive.
#pragma once

#include <deque>
#include <memory>

#include "colc/host/acq.h"
#include "host/acq/sim/frame_clock.h"
#include "host/acq/sim/sensor_model.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/stored_props.h"

class kcSimImaging;

class kcSimAcqFifo : public kcAcqFifo {
 public:
  // The configuration is checked by kfOpenSimCamera; faults are not the FIFO's.
  explicit kcSimAcqFifo(const kcSimCameraConfig& config);
  ~kcSimAcqFifo() override;

  // Moves the target or replaces it; the next image shows the change.
  void pose(const kcSimPose& pose);
  const kcSimPose& pose() const;
  void target(const kc3PlanePelBuffer& target);
  long width() const { return width_; }
  long height() const { return height_; }
  const kcSimFrameClock& clock() const { return clock_; }
  // The processor time spent making the frames so far, in seconds.
  double imagingSeconds() const { return imagingSeconds_; }

  kcAcqProps properties() override { return props_.props(); }
  const kcTriggerModel& triggerModel() const override { return *model_; }
  void triggerModel(const kcTriggerModel& model) override;
  bool triggerEnable() const override { return enabled_; }
  void triggerEnable(bool enable) override { enabled_ = enable; }
  bool start(unsigned long flags) override;
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;

 private:
  kcSimExposure currentSettings() const;

  long width_;
  long height_;
  kcStoredAcqProps props_;
  const kcTriggerModel* model_;
  bool enabled_ = true;
  std::deque<kcSimExposure> started_;  // settings latched by start(), oldest first
  unsigned long sequence_ = 0;
  kcSimFrameClock clock_;
  double imagingSeconds_ = 0.0;
  std::unique_ptr<kcSimImaging> imaging_;
};
