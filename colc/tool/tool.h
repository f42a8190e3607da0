// The calibration tool: finds the camera settings (exposure, contrast,
// brightness) under which a colour camera reproduces a calibration image
// best. It acquires nothing itself; the caller runs the loop:
//
//   settings = tool.init(params, start, calibrationImage);
//   while (!tool.done()) {
//     acquire first with settings (and second too, when tool.repeatAcquire());
//     settings = tool.nextSettingsFromAcquiredImages(first, second, diag, flags);
//   }
//   tool.result(), tool.channelResults()
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
class kcColorCalibrationToolState;
class kcColorCalibrationMeasurement;

class kcColorCalibrationTool {
 public:
  kcColorCalibrationTool();
  ~kcColorCalibrationTool();
  kcColorCalibrationTool(const kcColorCalibrationTool&) = delete;
  kcColorCalibrationTool& operator=(const kcColorCalibrationTool&) = delete;

  // Starts a new search; returns the settings to acquire with first (the start settings).
  kcColorCameraSettings init(const kcColorCalibrationParams& params, const kcColorCameraSettings& startSettings,
                             const kc3PlanePelBuffer& calibrationImage);

  // One step of the search with the image(s) acquired at the settings the
  // tool returned last; second is read only when repeatAcquire() is true.
  // Returns the settings for the next acquisition.
  kcColorCameraSettings nextSettingsFromAcquiredImages(kcPtrHandle<kcAcqImage>& first,
                                                       kcPtrHandle<kcAcqImage>& second, kcDiagObject* diag,
                                                       unsigned long diagFlags);

  bool done() const { return done_; }
  bool repeatAcquire() const { return repeatAcquire_; }
  const kcColorCalibrationParams& params() const { return params_; }
  // The settings of the best measurement so far.
  const kcColorCameraSettings& result() const { return result_; }
  // The three per-plane transfers measured at result().
  const std::vector<kcColorCalibrationChannelResult>& channelResults() const { return channelResults_; }
  const kc3PlanePelBuffer& calibrationImage() const { return calibrationImage_; }
  // The pose this search found in its first image; an unbound reference
  // image before that.
  kcCalibrationPose pose() const;

 private:
  friend class kcColorCalibrationToolTestAccess;

  kcColorCameraSettings nextSettingsFromColorImages(const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second,
                                                    kcDiagObject* diag, unsigned long diagFlags);
  void findPose(const kc3PlanePelBuffer& first, kcDiagObject* diag, unsigned long diagFlags);
  void takeMeasurement(const kcColorCalibrationMeasurement& measurement);
  void adaptScale();

  void initializeSettingsForColorImage();
  bool assignNextSettings();
  static std::vector<kcColorCameraSettings> planCandidates(const kcColorCalibrationParams& params,
                                                           const kcColorCameraSettings& centre, double scale);
  static bool isBetter(const kcColorCalibrationMeasurement& best, const kcColorCalibrationMeasurement& candidate);

  bool done_ = false;
  bool repeatAcquire_ = false;
  kcColorCalibrationParams params_;
  kcColorCameraSettings result_;
  std::vector<kcColorCalibrationChannelResult> channelResults_;
  kc3PlanePelBuffer calibrationImage_;
  kcColorCameraSettings nextSettings_;
  std::unique_ptr<kcColorCalibrationToolState> state_;
};
