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

// The size of the search's first cycle of candidates, in units of the
// exposure and contrast/brightness steps (see search_plan.cpp).
constexpr double kInitialSearchScale = 100.0;

class kcColorCalibrationToolState {
 public:
  // The candidate of the current cycle that the next measurement is for.
  std::int32_t candidateIndex = 0;
  // How far this cycle's candidates lie from its centre: doubled after a
  // cycle that improved (up to a ceiling), halved after one that did not.
  double searchScale = kInitialSearchScale;
  // Cycles whose scale has been adapted; the search ends after a limit.
  std::int32_t cycleCount = 0;
  // The best measurement so far and whether any has been taken yet.
  kcColorCalibrationMeasurement best;
  bool firstMeasurement = true;
  // Whether the current cycle found a better measurement than its centre.
  bool improved = false;
  // Every settings that has been the best, with how often it became the
  // best again; a settings that keeps coming back ends the search, since
  // the search is circling between equally good points.
  std::vector<kcColorCameraSettings> bestHistory;
  std::vector<std::int32_t> bestHistoryCounts;
  // The settings this cycle measures, in order.
  std::vector<kcColorCameraSettings> candidates;
  // The measurement grid, fixed by the pose: the inner rectangle of the
  // calibration image resampled onto it, and the sampling that carries the
  // camera's view of the same rectangle onto it.
  kc3PlanePelBuffer referenceImage;
  kcAffineSamplingParams sampling;
  kePhase phase = kePhase::ePose;
};
