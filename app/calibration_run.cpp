#include "app/calibration_run.h"

#include <chrono>

#include "colc/balance/balance.h"
#include "colc/balance/color_correction_fit.h"
#include "colc/driver/acquisition.h"
#include "colc/driver/calibrate.h"
#include "colc/driver/calibrate_quick.h"
#include "colc/driver/result_diagnostics.h"
#include "colc/host/runtime.h"
#include "colc/records/errors.h"
#include "colc/tool/target_pose.h"
#include "colc/tool/view_difference.h"
#include "app/camera_failures.h"
#include "app/exit_status.h"
#include "host/acq/sim/sim_camera.h"
#include "host/runtime/cpu_time.h"
#include "app/empty_image_counting_fifo.h"

namespace {

// The search did not find the target in its first view, taken at the
// start settings like startView; the finder says why.
TargetNotFoundFailure notInView(const kc3PlanePelBuffer& startView, const kcTargetNotFound& e) {
  return TargetNotFoundFailure("at the start settings, " + e.text(),
                               startView, e.match());
}

// The defined search's pose finding says nothing of why it failed: our
// finder looks at the view to tell the user what it sees there.
TargetNotFoundFailure notFoundByTheFullSearch(const kc3PlanePelBuffer& startView,
                                              const kc3PlanePelBuffer& reference) {
  try {
    const kcTargetMatch match = kfFindTargetPose(startView, reference).perspective->match;
    return TargetNotFoundFailure("the full search looks for the target only at turns of up to 21 degrees and scales "
                                 "of 0.8 to 1.2, and did not find it; it is there, " +
                                     kfTargetFindingText(match, {}) +
                                     ", and the quick search (without --full-search) finds it",
                                 startView, match);
  } catch (const kcTargetNotFound& e) {
    return notInView(startView, e);
  }
}

// Keeps the search's acquisitions and steps in the run, and tells the
// listener of every acquisition.
class RunObserver final : public kcCalibrationObserver {
 public:
  RunObserver(CalibrationRun& run, const AcquisitionListener& listener) : run_(run), listener_(listener) {}
  // The run asks the library for no result records: every acquisition is the search's.
  void acquiring(const kcColorCameraSettings& settings, keCalibrationAcquisition) override {
    run_.acquisitions.push_back(settings);
    listener_(settings);
  }
  void searchStepped(const kcCalibrationSearchStep& step) override { run_.steps.push_back(step); }

 private:
  CalibrationRun& run_;
  const AcquisitionListener& listener_;
};

}  // namespace

const char* searchName(CalibrationSearch search) { return search == CalibrationSearch::quick ? "quick" : "full"; }

CalibrationRun runCalibration(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference,
                              const kcColorCalibrationParams& params, bool recordDiagnostics,
                              const AcquisitionListener& onAcquisition, CalibrationSearch search,
                              bool fitColorCorrection) {
  CalibrationRun run;
  run.search = search;
  asCameraFailure([&] {
    const kcFifoStateSaver saver(camera);
    kfSwitchToManualTrigger(camera);
    run.start = kfCurrentCameraSettings(camera);
    run.startView = acquire(camera, run.start);

    auto* counting = new EmptyImageCountingFifo(camera);
    const kcPtrHandle<kcAcqFifo> counted(counting);
    RunObserver observer(run, onAcquisition);
    const std::optional<kcSimCameraTime> clockAtStart = kfSimCameraTime(camera);
    const auto started = std::chrono::steady_clock::now();
    const double cpuAtStart = kfProcessCpuSeconds();
    // The search finds the reference in its first image, taken at the start
    // settings like the start view; the views before and after use that
    // pose too, as the camera and the target stay where they are.
    kcCalibrationPose pose;
    try {
      if (search == CalibrationSearch::quick)
        kfColorCalibrateQuickObserved(counted, reference, params, run.result, nullptr, 0, pose, observer);
      else
        kfColorCalibrateObserved(counted, reference, params, run.result, nullptr, 0, pose, observer);
    } catch (const kcTargetNotFound& e) {
      throw notInView(run.startView, e);
    } catch (const kcColorCalibrationDefs::BadImages&) {
      throw notFoundByTheFullSearch(run.startView, reference);
    }
    if (pose.perspective) run.target = pose.perspective->match;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.computingSeconds = kfProcessCpuSeconds() - cpuAtStart;
    if (const std::optional<kcSimCameraTime> clock = kfSimCameraTime(camera); clock && clockAtStart) {
      run.cameraSeconds = clock->camera - clockAtStart->camera;
      run.simulationSeconds = clock->imaging - clockAtStart->imaging;
      run.computingSeconds -= *run.simulationSeconds;
    }
    // A failed or empty acquisition ends the search early without an
    // exception; what it found by then is no calibration.
    if (run.result.acqInfo().failure().isFailure()) throw acquisitionFailure(run.result.acqInfo());
    if (counting->emptyImages() != 0)
      throw CommandFailure(ExitStatus::cameraFailed, "the camera delivered an empty image");

    kfThrowExceptionOnFailure(ksys_attention_check());
    run.result.setFifoProperties(camera);
    const kcColorCameraSettings calibrated(run.result.exposure(), run.result.contrast(), run.result.brightness());
    const kcViewOnGrid startGrid = kfViewOnGrid(run.startView, pose);
    run.before = kfViewDifference(startGrid);
    const kc3PlanePelBuffer calibratedImage = acquire(camera, calibrated);
    const kcViewOnGrid grid = kfViewOnGrid(calibratedImage, pose);
    // The camera's own pels at the reference's grid points: a pel the
    // camera clipped stays so there, where the resampled view averages it
    // with its neighbours.
    run.colour = runColourStage(startGrid, grid, kfViewPelsAtSamples(calibratedImage, pose), run.result,
                                fitColorCorrection);
    const kcColorCorrection* correction = run.colour.correction ? &*run.colour.correction : nullptr;
    run.after = kfViewDifference(kcViewOnGrid{kfCorrectImage(run.result, correction, grid.view), grid.reference});
    run.clipped = clippedShares(grid.view, grid.reference);
    // The result's own records come last, from an image of their own: a
    // report observes the calibration and changes none of it (the
    // simulated camera draws its noise image after image, so an image
    // taken earlier would change every later one).
    if (recordDiagnostics) {
      onAcquisition(calibrated);
      kcPtrHandle<kcAcqImage> image = acquireImage(camera, calibrated);
      kfRecordCalibrationImages(run.result, image, &run.diagnostics, kColorCalibrationDiagResults);
    }
  });
  run.exposureEdge = exposureEdgeOf(params, run.result.exposure());
  run.verdict = judgeCalibration({run.before, run.after, run.clipped, run.result.exposure(), run.exposureEdge});
  return run;
}
