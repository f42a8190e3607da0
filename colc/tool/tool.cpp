#include "colc/tool/tool.h"

#include "colc/tool/internal/tool_state.h"

kcColorCalibrationTool::kcColorCalibrationTool() : state_(std::make_unique<kcColorCalibrationToolState>()) {
  init(kcColorCalibrationParams(), kcColorCameraSettings(), kc3PlanePelBuffer());
}

kcColorCalibrationTool::~kcColorCalibrationTool() = default;

kcCalibrationPose kcColorCalibrationTool::pose() const {
  if (state_->phase == kePhase::ePose) return {};
  return {state_->referenceImage, state_->sampling};
}

kcColorCameraSettings kcColorCalibrationTool::init(const kcColorCalibrationParams& params,
                                                   const kcColorCameraSettings& startSettings,
                                                   const kc3PlanePelBuffer& calibrationImage) {
  kcColorCalibrationToolState& s = *state_;
  params_ = params;
  nextSettings_ = startSettings;
  calibrationImage_ = calibrationImage;
  s.firstMeasurement = true;
  done_ = false;
  repeatAcquire_ = false;
  channelResults_.clear();
  s.bestHistory.clear();
  s.bestHistoryCounts.clear();
  s.candidates.clear();
  s.candidateIndex = 0;
  s.cycleCount = 0;
  s.searchScale = kInitialSearchScale;
  s.improved = false;
  channelResults_.resize(3);
  s.phase = kePhase::ePose;
  // result_ and the best measurement keep the previous search's values
  // until this search stores its first measurement.
  return nextSettings_;
}
