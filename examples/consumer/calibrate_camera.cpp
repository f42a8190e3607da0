#include <cstdio>

#include "app/camera_calibration.h"
#include "colc/colc.h"
#include "host/acq/sim/sim_camera.h"   // the simulated camera; any kcAcqFifo will do
#include "host/acq/sim/target_chart.h"
#include "host/imaging/image_file.h"

int main() {
  const kcPtrHandle<kcAcqFifo> camera = kfOpenSimCamera("width=640,height=480,scale=0.5,crosstalk=0.1,seed=6");
  const kc3PlanePelBuffer reference = kfSimTargetChart();  // or kfReadColorImageFile("target.png")

  // colc calibrate's default: the quick search, pel maps, a colour correction where it helps.
  const CalibrationRun run = calibrateCamera(camera, reference);
  std::printf("%s; colour error (mean CIEDE2000) %.2f at the start, %.2f calibrated\n",
              run.verdict.helped ? "helped" : "did not help", run.colour.start.mean, run.colour.corrected.mean);
  const StoredCalibration calibration = storedCalibration(run);
  writeResultArchive("result.colc", calibration);  // what colc show and colc apply read

  // An image at the calibrated settings, corrected to the pels colc apply gives.
  kfSwitchToManualTrigger(camera);
  kcAcquireInfo info;
  bool failed = false;
  const kcColorCameraSettings calibrated(run.result.exposure(), run.result.contrast(), run.result.brightness());
  const kc3PlanePelBuffer image = kfAcquireImage(camera, calibrated, info, failed)->get3PlanePelBuffer();
  if (failed) return 1;
  kfWriteImageFile("camera.png", image);
  kfWriteImageFile("corrected.png", applyCalibration(calibration, image));
  return run.verdict.helped ? 0 : 1;
}
