// The quick settings search: the same question as kcColorCalibrationTool
// (which exposure, contrast and brightness make the camera reproduce the
// calibration image best, by the same measurement and the same order of
// measurements) answered in a few dozen acquisitions instead of a thousand.
//
// It acquires one image per step and uses every image it acquires: the
// first to find the calibration image and as the base of a model of the
// camera's response (camera_response.h), one with another brightness and
// one with another contrast to learn the model's slopes. The model then
// predicts the best settings (model_optimum.h), and real measurements of
// candidates spread around the best so far, in shrinking spans, refine
// them, never acquiring settings it has measured already.
//
// The caller runs the same loop as for the tool; repeatAcquire() is always
// false, so each step takes one image.
#pragma once

#include <memory>
#include <vector>

#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/host/handle.h"
#include "colc/host/imaging.h"
#include "colc/records/channel_result.h"
#include "colc/records/params.h"
#include "colc/tool/pose.h"

class kcAcqImage;

class kcColorCalibrationQuickSearch {
 public:
  // At most this many acquisitions per search.
  static constexpr int kAcquisitionBudget = 60;

  kcColorCalibrationQuickSearch();
  ~kcColorCalibrationQuickSearch();
  kcColorCalibrationQuickSearch(const kcColorCalibrationQuickSearch&) = delete;
  kcColorCalibrationQuickSearch& operator=(const kcColorCalibrationQuickSearch&) = delete;

  // Starts a new search; returns the settings to acquire with first (the
  // start settings). Like the tool's, it leaves result() as it was until
  // the new search measures something.
  kcColorCameraSettings init(const kcColorCalibrationParams& params, const kcColorCameraSettings& startSettings,
                             const kc3PlanePelBuffer& calibrationImage);

  // One step with the image acquired at the settings returned last;
  // second is not read, nor are diagnostics recorded. The first step finds
  // the calibration image with our own finder (target_pose.h), at any
  // quarter turn, scales of 0.4 to 2.5 and a slant, and throws
  // kcTargetNotFound (a kcColorCalibrationDefs::BadImages) naming the cause
  // when it is not in view.
  kcColorCameraSettings nextSettingsFromAcquiredImages(kcPtrHandle<kcAcqImage>& first, kcPtrHandle<kcAcqImage>& second,
                                                       kcDiagObject* diag, unsigned long diagFlags);

  bool done() const;
  bool repeatAcquire() const { return false; }
  // The settings of the best measurement so far.
  const kcColorCameraSettings& result() const;
  // The three per-plane transfers measured at result().
  const std::vector<kcColorCalibrationChannelResult>& channelResults() const;
  // The pose this search found in its first image; an unbound reference
  // image until it has found one.
  kcCalibrationPose pose() const;
  // The images measured by this search so far.
  int measurements() const;

 private:
  class State;
  std::unique_ptr<State> s_;
};
