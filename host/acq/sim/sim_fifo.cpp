#include "host/acq/sim/sim_fifo.h"

#include <algorithm>

#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cpu_time.h"

namespace {

// Acquisitions a camera queues before it refuses further triggers.
constexpr std::size_t kQueueLength = 16;

}  // namespace

// The OpenCV side of the camera, out of sim_fifo.h so that its users need
// no OpenCV headers.
class kcSimImaging {
 public:
  explicit kcSimImaging(const kcSimCameraConfig& c)
      : scene(c.target.isBound() ? c.target : kfSimTargetChart(), c),
        sensor(static_cast<int>(c.width), static_cast<int>(c.height), c.taps, c.noise, c.seed, c.sensitivity) {}

  kcSimScene scene;
  kcSimSensor sensor;
};

kcSimAcqFifo::kcSimAcqFifo(const kcSimCameraConfig& config)
    : width_(config.width),
      height_(config.height),
      props_(config.taps),
      model_(&kfFreeRunTrigger()),
      clock_(config.readoutFps.value_or(kfDefaultReadoutFps(config.width, config.height)), config.sleep),
      imaging_(std::make_unique<kcSimImaging>(config)) {
  props_.exposure(config.exposure);
  props_.setContrastEx(config.contrast, kcContrastBrightnessProp::kAllTaps);
  props_.setBrightnessEx(config.brightness, kcContrastBrightnessProp::kAllTaps);
}

kcSimAcqFifo::~kcSimAcqFifo() = default;

void kcSimAcqFifo::pose(const kcSimPose& pose) { imaging_->scene.pose(pose); }

const kcSimPose& kcSimAcqFifo::pose() const { return imaging_->scene.pose(); }

void kcSimAcqFifo::target(const kc3PlanePelBuffer& target) { imaging_->scene.target(target); }

void kcSimAcqFifo::triggerModel(const kcTriggerModel& model) {
  if (&model != model_) started_.clear();
  model_ = &model;
}

kcSimExposure kcSimAcqFifo::currentSettings() const {
  kcSimExposure settings;
  settings.exposure = props_.exposure();
  for (int t = 0; t < props_.numTaps(); ++t) {
    const auto tap = static_cast<kcContrastBrightnessProp::Channel>(t);
    settings.contrast.push_back(props_.contrast(tap));
    settings.brightness.push_back(props_.brightness(tap));
  }
  for (int k = 0; k < 3; ++k) {
    const unsigned char* table = props_.inputLut(static_cast<kc8BitInputLutProp::Channel>(k));
    std::copy_n(table, 256, settings.tables[static_cast<std::size_t>(k)].begin());
  }
  return settings;
}

bool kcSimAcqFifo::start(unsigned long flags) {
  if (flags != 0) throw kcBadArgument("start flags " + std::to_string(flags) + ": none are defined");
  if (!enabled_) return false;
  if (model_->isFreeRunning()) return true;  // the camera is acquiring anyway
  if (started_.size() == kQueueLength) return false;
  started_.push_back(currentSettings());
  return true;
}

kcPtrHandle<kcAcqImage> kcSimAcqFifo::completeAcq(const CompleteArgs& args) {
  const bool freeRunning = enabled_ && model_->isFreeRunning();
  if (!freeRunning && started_.empty()) {
    if (args.wait) throw kcTimeout::Expired("no acquisition started: the wait would never end");
    if (args.info) args.info->failure(kcAcqFailure(kcAcqFailure::eTimedOut, "no acquisition ready"));
    if (args.queuedAfter) *args.queuedAfter = 0;
    return {};
  }
  kcSimExposure settings;
  if (freeRunning) {
    settings = currentSettings();
  } else {
    if (args.latestOnly) started_.erase(started_.begin(), started_.end() - 1);
    settings = std::move(started_.front());
    started_.pop_front();
  }
  ++sequence_;
  clock_.frame(settings.exposure);
  kcSimScene& scene = imaging_->scene;
  const double imagingStarted = kfProcessCpuSeconds();
  kcPtrHandle<kcAcqImage> image(
      new kcAcqImage(imaging_->sensor.expose(scene.levels(), scene.flatRuns(), settings, sequence_)));
  imagingSeconds_ += kfProcessCpuSeconds() - imagingStarted;
  if (args.info) {
    args.info->failure(kcAcqFailure());
    args.info->sequence(sequence_);
  }
  if (args.queuedAfter) *args.queuedAfter = started_.size();
  return image;
}
