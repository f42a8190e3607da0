#include "host/acq/sim/frame_clock.h"

#include <chrono>
#include <thread>

namespace {

constexpr double kReferencePels = 1280.0 * 1024.0;
constexpr double kReferenceFps = 30.0;

}  // namespace

kcSimFrameClock::kcSimFrameClock(double readoutFps, bool sleep) : readoutSeconds_(1.0 / readoutFps), sleep_(sleep) {}

double kcSimFrameClock::frame(double exposure) {
  const double seconds = exposure + readoutSeconds_;
  cameraSeconds_ += seconds;
  if (sleep_) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    sleptSeconds_ += seconds;
  }
  return seconds;
}

double kfDefaultReadoutFps(long width, long height) {
  return kReferenceFps * kReferencePels / (static_cast<double>(width) * static_cast<double>(height));
}
