// The settings a camera opens with when its last user left it set for
// another scene: drawn per pose, so that a sweep can show whether a
// search's result depends on where it starts.
#pragma once

#include "colc/host/camera_settings.h"

// The start of one pose, drawn from the sweep's seed and the pose's
// number alone: the same pose starts alike at every cross-talk value and
// in sweeps of any length.
kcColorCameraSettings drawStartSettings(unsigned long seed, int pose);
