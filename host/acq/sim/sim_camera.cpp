#include "host/acq/sim/sim_camera.h"

#include <cmath>

#include "host/acq/sim/sim_fifo.h"
#include "host/runtime/number_text.h"

namespace {

// The longest exposure a camera would open with; longer ones are typos.
constexpr double kMaxExposure = 10.0;

void check(bool ok, const std::string& what) {
  if (!ok) throw kcBadArgument("simulated camera: " + what);
}

void validate(const kcSimCameraConfig& c) {
  check(c.width >= 16 && c.width <= 8192, "width " + std::to_string(c.width) + " outside 16 .. 8192");
  check(c.height >= 16 && c.height <= 8192, "height " + std::to_string(c.height) + " outside 16 .. 8192");
  check(std::isfinite(c.noise) && c.noise >= 0.0, "noise " + kfNumberText(c.noise) + " below 0");
  check(c.crossTalk >= 0.0 && c.crossTalk <= 0.5, "crosstalk " + kfNumberText(c.crossTalk) + " outside 0 .. 0.5");
  check(c.sensitivity > 0.0 && c.sensitivity <= 4.0,
        "sensitivity " + kfNumberText(c.sensitivity) + " not above 0 or above 4");
  check(c.blur >= 0.0 && c.blur <= 8.0, "blur " + kfNumberText(c.blur) + " outside 0 .. 8");
  check(c.shading >= 0.0 && c.shading <= 0.9, "shading " + kfNumberText(c.shading) + " outside 0 .. 0.9");
  check(c.taps >= 1 && c.taps <= 4, "taps " + std::to_string(c.taps) + " outside 1 .. 4");
  check(!c.readoutFps || (std::isfinite(*c.readoutFps) && *c.readoutFps > 0.0),
        "fps (the read-out frame rate) " + kfNumberText(c.readoutFps.value_or(0.0)) + " not above 0");
  check(c.exposure > 0.0 && c.exposure <= kMaxExposure,
        "exposure " + kfNumberText(c.exposure) + " outside (0 .. 10] s");
  check(c.contrast >= 0.0 && c.contrast <= 1.0, "contrast " + kfNumberText(c.contrast) + " outside 0 .. 1");
  check(c.brightness >= 0.0 && c.brightness <= 1.0, "brightness " + kfNumberText(c.brightness) + " outside 0 .. 1");
}

}  // namespace

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSimCamera(const kcSimCameraConfig& config) {
  validate(config);
  kcPtrHandle<kcAcqFifo> camera(new kcSimAcqFifo(config));
  return kcPtrHandle<kcInstrumentedAcqFifo>(new kcInstrumentedAcqFifo(camera, config.faults));
}

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSimCamera(const std::string& options) {
  return kfOpenSimCamera(kfParseSimCameraOptions(options));
}

std::optional<kcSimCameraTime> kfSimCameraTime(const kcPtrHandle<kcAcqFifo>& fifo) {
  const kcAcqFifo* camera = fifo.get();
  if (const auto* wrapper = dynamic_cast<const kcInstrumentedAcqFifo*>(camera)) camera = wrapper->inner().get();
  const auto* sim = dynamic_cast<const kcSimAcqFifo*>(camera);
  if (sim == nullptr) return std::nullopt;
  return kcSimCameraTime{sim->clock().cameraSeconds(), sim->clock().sleptSeconds(), sim->imagingSeconds()};
}
