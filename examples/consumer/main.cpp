// The smallest program that uses the installed colc: it fits the built-in
// target onto itself, stores a parameter record in a memory archive and
// reads it back, and prints what it got.
#include <cstdio>

#include "colc/colc.h"
// Every application header of the host must compile from the installed tree.
#include "host/acq/aravis/aravis_fifo.h"
#include "host/acq/aravis/camera_list.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/image_file.h"
#include "host/runtime/cancellation.h"

int main() {
  const kc3PlanePelBuffer target = kfSimTargetChart(96);
  kcColorCalibrationResultInternal fit;
  kfComputeColorCalibration(target, target, fit, nullptr, 0);
  for (const kcColorCalibrationChannelResultInternal& c : fit.results())
    std::printf("gain %.4f offset %.2f; ", c.gain(), c.offset());

  kcColorCalibrationParams params;
  params.isBrightnessEnabled(false);
  params.exposureRange(kcRange(1e-4, 0.05));
  kcMemoryArchive out;
  out || params;
  kcMemoryArchive in(out.data());
  kcColorCalibrationParams back;
  in || back;
  std::printf("parameters %zu bytes, %s\n", out.data().size(), back == params ? "equal" : "DIFFERENT");
  return back == params ? 0 : 1;
}
