// The cost of choosing between the pel maps and a colour correction
// (chooseColorCorrection: leave-one-region-out fits of the correction in
// both domains and of the pel maps, on the calibrated view of the built-in
// chart), against one per-plane fit of the same view, the search's own
// work on each image.
#include <benchmark/benchmark.h>

#include "bench/paired_timing.h"
#include "colc/balance/balance.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/calibrate_quick.h"
#include "app/correction_stage.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"

namespace {

// The default simulated camera's view at the settings the quick search
// chooses, on the chart's grid, and the pel maps' error on it.
struct CalibratedView {
  kcViewOnGrid grid;
  ColourError pelMaps;
};

CalibratedView calibratedView() {
  const kc3PlanePelBuffer chart = kfSimTargetChart();
  const kcPtrHandle<kcInstrumentedAcqFifo> camera = kfOpenSimCamera();
  kfSwitchToManualTrigger(camera);
  kcColorCalibrationResult result;
  kcCalibrationPose pose;
  kfColorCalibrateQuick(camera, chart, kcColorCalibrationParams(), result, nullptr, 0, pose);
  result.setFifoProperties(camera);
  kcAcquireInfo info;
  bool failed = false;
  const kcPtrHandle<kcAcqImage> image = kfAcquireImage(
      camera, kcColorCameraSettings(result.exposure(), result.contrast(), result.brightness()), info, failed);
  const kcViewOnGrid grid = kfViewOnGrid(image->get3PlanePelBuffer(), pose);
  return {grid, colourError(result.pelMapImage(grid.view), grid.reference, FlatRegions(grid.reference))};
}

void ColourChoiceVsPlaneFits(benchmark::State& state) {
  static const CalibratedView view = calibratedView();
  const FlatRegions regions(view.grid.reference);
  kfTimeAgainstBaseline(
      state,
      [&] {
        CorrectionChoice choice;
        benchmark::DoNotOptimize(chooseColorCorrection(view.grid, regions, view.pelMaps, choice));
      },
      1,
      [&] {
        kcColorCalibrationResultInternal fits;
        kfComputeColorCalibration(view.grid.view, view.grid.reference, fits, nullptr, 0);
        benchmark::DoNotOptimize(fits);
      },
      1);
  state.counters["regions"] = regions.count();
}

}  // namespace

BENCHMARK(ColourChoiceVsPlaneFits)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
