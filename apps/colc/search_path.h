// The path of a calibration's search as the camera saw it: the settings of
// every acquisition, from which the best settings as they changed follow.
#pragma once

#include <cstddef>
#include <vector>

#include "colc/host/camera_settings.h"

struct BestChange {
  std::size_t acquisition;  // index of the acquisition that measured the new best settings
  kcColorCameraSettings settings;
};

// The best settings as they changed, the first being the start settings
// (the first acquisition). The search takes every image in pairs of equal
// settings except the first and the one that ends a cycle, which it takes
// alone at the best settings of that cycle; a run of equal settings of odd
// length therefore holds such a settling image. The best of a cycle is
// dated from the cycle's first acquisition with those settings. Best
// settings that a cycle held only for a while before a better one came are
// not seen. result, the settings the search ended with, is the last best:
// a search can end in the middle of a cycle, when settings become best for
// the fourth time.
std::vector<BestChange> bestSettingsAlong(const std::vector<kcColorCameraSettings>& acquisitions,
                                          const kcColorCameraSettings& result);
