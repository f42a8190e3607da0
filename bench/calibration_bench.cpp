// The module's own work per acquisition in a default calibration on the
// simulated camera: the CPU time of kfColorCalibrate less the time the
// camera spends starting and rendering acquisitions, divided by their
// number. The time column shows it; "ratio" sets it against the camera's
// own time per acquisition in the same run, "acquisitions" counts them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <limits>

#include "bench/paired_timing.h"
#include "colc/driver/calibrate.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"

namespace {

// A FIFO that passes everything to another one and adds up the time its
// acquisitions take there.
class kcTimedAcqFifo : public kcAcqFifo {
 public:
  explicit kcTimedAcqFifo(kcPtrHandle<kcAcqFifo> inner) : inner_(std::move(inner)) {}
  double seconds() const { return seconds_; }
  long acquisitions() const { return acquisitions_; }

  kcAcqProps properties() override { return inner_->properties(); }
  const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
  void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
  bool triggerEnable() const override { return inner_->triggerEnable(); }
  void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
  bool start(unsigned long flags) override {
    const double begin = kfThreadSeconds();
    const bool started = inner_->start(flags);
    seconds_ += kfThreadSeconds() - begin;
    return started;
  }
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override {
    const double begin = kfThreadSeconds();
    kcPtrHandle<kcAcqImage> image = inner_->completeAcq(args);
    seconds_ += kfThreadSeconds() - begin;
    ++acquisitions_;
    return image;
  }

 private:
  kcPtrHandle<kcAcqFifo> inner_;
  double seconds_ = 0.0;
  long acquisitions_ = 0;
};

void CalibrationWorkPerAcquisition(benchmark::State& state) {
  const kc3PlanePelBuffer chart = kfSimTargetChart();
  double fastestModule = std::numeric_limits<double>::infinity();
  double cameraAtFastest = 0.0;
  long acquisitions = 0;
  for (auto _ : state) {
    const kcPtrHandle<kcTimedAcqFifo> camera(new kcTimedAcqFifo(kfOpenSimCamera()));
    kcColorCalibrationResult result;
    const double begin = kfThreadSeconds();
    kfColorCalibrate(camera, chart, kcColorCalibrationParams(), result, nullptr, 0);
    const double total = kfThreadSeconds() - begin;
    acquisitions = camera->acquisitions();
    const double module = (total - camera->seconds()) / static_cast<double>(acquisitions);
    if (module < fastestModule) {
      fastestModule = module;
      cameraAtFastest = camera->seconds() / static_cast<double>(acquisitions);
    }
    state.SetIterationTime(module);
  }
  state.counters["ratio"] = fastestModule / cameraAtFastest;
  state.counters["baseline_us"] = cameraAtFastest * 1e6;
  state.counters["acquisitions"] = static_cast<double>(acquisitions);
}

}  // namespace

BENCHMARK(CalibrationWorkPerAcquisition)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
