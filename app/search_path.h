// The path of a calibration's search: its best settings as they changed,
// from the steps the library told of.
#pragma once

#include <cstddef>
#include <vector>

#include "colc/driver/calibration_observer.h"

struct BestChange {
  std::size_t acquisition;  // index of the first acquisition of the step that made these settings the best
  kcColorCameraSettings settings;
};

// The best settings as they changed, the first being the settings of the
// first step (the start settings, where the search finds the target). The
// best is read where the search settles: at every step of a single image
// after the first (the calibration tool takes one image at its best to end
// each cycle of candidates; the quick search takes every image alone), and
// after the last step, where the search may have stopped inside a cycle.
// A best that a cycle held only for a while before a better one came is
// thus not drawn; each best is dated from the step that made it so.
std::vector<BestChange> bestSettingsAlong(const std::vector<kcCalibrationSearchStep>& steps);
