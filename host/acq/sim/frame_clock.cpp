#include "host/acq/sim/frame_clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "colc/host/exceptions.h"
#include "host/runtime/cancellation.h"

namespace {

constexpr double kReferencePels = 1280.0 * 1024.0;
constexpr double kReferenceFps = 30.0;

// Waits in short slices, so that a cancellation ends a long frame's wait
// (a slow frame rate, a long exposure) within one slice, as a real
// camera's driver gives up a frame.
void waitUnlessCancelled(double seconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  for (;;) {
    if (kfCancelRequested()) throw kcCancelled();
    const Clock::time_point now = Clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(20)));
  }
}

}  // namespace

kcSimFrameClock::kcSimFrameClock(double readoutFps, bool sleep) : readoutSeconds_(1.0 / readoutFps), sleep_(sleep) {}

double kcSimFrameClock::frame(double exposure) {
  const double seconds = exposure + readoutSeconds_;
  cameraSeconds_ += seconds;
  if (sleep_) {
    waitUnlessCancelled(seconds);
    sleptSeconds_ += seconds;
  }
  return seconds;
}

double kfDefaultReadoutFps(long width, long height) {
  return kReferenceFps * kReferencePels / (static_cast<double>(width) * static_cast<double>(height));
}
