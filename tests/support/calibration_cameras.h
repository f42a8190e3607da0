// Simulated cameras for the tests that calibrate, a quick search to run on
// them, and everything about a FIFO that a calibration promises to leave
// as it found it.
#pragma once

#include <string>
#include <vector>

#include "colc/host/acq.h"
#include "colc/records/params.h"
#include "host/acq/sim/sim_camera.h"

// options: further simulated-camera options (faults ...), appended.
// 64 x 48 noise-free pels showing a 96-pel chart at half size, for tests
// that need a FIFO rather than its pictures.
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSmallSimCamera(const std::string& options = "");
// 320 x 240 pels (seed 5) showing the whole of kfTestChart().
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenChartCamera(const std::string& options = "");
// The simulated chart, 192 pels wide.
const kc3PlanePelBuffer& kfTestChart();
// 640 x 480 pels (seed 5) showing kfViewChart() in the camera's own default
// view (turned a little, off the pel grid, blurred), or where options put
// it. The chart is about twice as many pels across as the reference grid
// has samples, as on a real camera, where a calibration's resampling
// decides whether the search can tell good settings from clipped ones.
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenViewCamera(const std::string& options = "");
// The simulated chart, 384 pels wide.
const kc3PlanePelBuffer& kfViewChart();
// Exposure only, judged by the difference alone: about 40 acquisitions.
kcColorCalibrationParams kfQuickParams();

struct FifoState {
  bool enabled = false;
  const kcTriggerModel* model = nullptr;
  double exposure = 0.0;
  std::vector<double> contrast, brightness;        // per tap
  std::vector<std::vector<unsigned char>> tables;  // per plane
  bool operator==(const FifoState&) const = default;
};

FifoState kfFifoStateOf(kcAcqFifo& fifo);
