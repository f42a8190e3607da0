// The simulated camera's sense of time. A real camera needs, for every
// frame, its exposure and then the read-out of the sensor over its link;
// nothing else in the simulation takes that long, so a calibration that
// looks fast on it can take minutes on a real camera. The clock adds up
// what each delivered frame would have taken and, when asked to, also
// waits that long, so that a program can be tried at a real camera's pace.
#pragma once

#include <cstdint>

class kcSimFrameClock {
 public:
  // readoutFps: frames per second the read-out alone allows (> 0);
  // sleep: wait through each frame's time instead of only counting it.
  kcSimFrameClock(double readoutFps, bool sleep);

  // One frame exposed for exposure seconds: counts its time and, when the
  // clock sleeps, waits it. Returns the frame's time in seconds. A
  // cancellation of the calling thread ends the wait with kcCancelled.
  double frame(double exposure);

  // The time of all frames so far, in seconds.
  double cameraSeconds() const { return cameraSeconds_; }
  // How much of it the clock actually waited.
  double sleptSeconds() const { return sleptSeconds_; }
  double readoutSeconds() const { return readoutSeconds_; }

 private:
  double readoutSeconds_;
  bool sleep_;
  double cameraSeconds_ = 0.0;
  double sleptSeconds_ = 0.0;
};

// The read-out frame rate of a sensor of width x height pels when nothing
// else is said: a common 1.3-megapixel GigE Vision camera reads 1280 x 1024
// pels about 30 times a second, and a smaller sensor (or region of
// interest) is read faster in proportion, the link's pel rate staying.
double kfDefaultReadoutFps(long width, long height);
