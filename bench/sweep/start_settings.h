// The settings a camera opens with when its last user left it set for
// another scene: drawn per pose, so that a sweep can show whether a
// search's result depends on where it starts.
#pragma once

struct StartSettings {
  double exposure = 0.01;
  double contrast = 0.5;
  double brightness = 0.5;
};

// The start of one pose, drawn from the sweep's seed and the pose's
// number alone: the same pose starts alike at every cross-talk value and
// in sweeps of any length.
StartSettings drawStartSettings(unsigned long seed, int pose);
