// Reaches the tool's private steps, so the search can be driven with
// hand-made measurements instead of a camera.
#pragma once

#include "colc/tool/tool.h"
#include "colc/tool/tool_state.h"

class kcColorCalibrationToolTestAccess {
 public:
  static std::vector<kcColorCameraSettings> plan(const kcColorCalibrationParams& params,
                                                 const kcColorCameraSettings& centre, double scale) {
    return kcColorCalibrationTool::planCandidates(params, centre, scale);
  }
  static bool isBetter(const kcColorCalibrationMeasurement& best, const kcColorCalibrationMeasurement& candidate) {
    return kcColorCalibrationTool::isBetter(best, candidate);
  }
  // What a successful pose step does, without images.
  static void skipPose(kcColorCalibrationTool& tool) {
    tool.initializeSettingsForColorImage();
    tool.state_->phase = kePhase::eSearch;
    tool.repeatAcquire_ = true;
  }
  // A search step whose measurement is m; returns the next settings.
  static kcColorCameraSettings measure(kcColorCalibrationTool& tool, const kcColorCalibrationMeasurement& m) {
    tool.takeMeasurement(m);
    return tool.nextSettings_;
  }
  // A step that uses no images (settle or adapt).
  static kcColorCameraSettings step(kcColorCalibrationTool& tool) {
    return tool.nextSettingsFromColorImages(kc3PlanePelBuffer(), kc3PlanePelBuffer(), nullptr, 0);
  }
  static const kcColorCalibrationToolState& state(const kcColorCalibrationTool& tool) { return *tool.state_; }
  static const kcColorCameraSettings& nextSettings(const kcColorCalibrationTool& tool) { return tool.nextSettings_; }
};
