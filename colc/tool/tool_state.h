// The calibration tool's private search state.
#pragma once

#include <cstdint>
#include <vector>

#include "colc/host/camera_settings.h"
#include "colc/host/imaging.h"
#include "colc/tool/measurement.h"

// What the next step of the tool does.
enum class kePhase : std::int32_t {
  ePose = 1,    // find the calibration image in the first acquisition
  eSearch = 2,  // measure the current candidate, move to the next
  eSettle = 3,  // one unused acquisition pair at the best settings
  eAdapt = 4,   // halve or double the scale; end or start the next cycle
};

class kcColorCalibrationToolState {
 public:
  std::int32_t candidateIndex = 0;
  double searchScale = 100.0;
  std::int32_t cycleCount = 0;
  kcColorCalibrationMeasurement best;
  bool firstMeasurement = true;
  bool improved = false;
  std::vector<kcColorCameraSettings> bestHistory;
  std::vector<std::int32_t> bestHistoryCounts;
  std::vector<kcColorCameraSettings> candidates;
  kc3PlanePelBuffer referenceImage;
  kcAffineSamplingParams sampling;
  kePhase phase = kePhase::ePose;
};
