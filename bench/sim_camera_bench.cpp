// One simulated acquisition (start and completion, the scene already
// rendered) at two sensor sizes, against copying the pels of one frame
// (three 8-bit planes) into memory of their own: "ratio" is the
// acquisition's time over the copy's (bench/paired_timing.h).
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "bench/paired_timing.h"
#include "host/acq/sim/sim_camera.h"

namespace {

void SimAcquisitionVsFrameCopy(benchmark::State& state) {
  kcSimCameraConfig config;
  config.width = state.range(0);
  config.height = state.range(1);
  const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();  // without the log
  fifo->triggerModel(kfManualTrigger());
  const kcAcqFifo::CompleteArgs args;
  fifo->start(0);
  fifo->completeAcq(args);  // renders the scene once

  const cv::Mat frame(static_cast<int>(3 * config.height), static_cast<int>(config.width), CV_8U, cv::Scalar(7));
  cv::Mat copy(frame.size(), frame.type());
  kfTimeAgainstBaseline(
      state,
      [&] {
        fifo->start(0);
        benchmark::DoNotOptimize(fifo->completeAcq(args).get());
      },
      3,
      [&] {
        frame.copyTo(copy);
        benchmark::DoNotOptimize(copy.data);
        benchmark::ClobberMemory();
      },
      10);
}

}  // namespace

BENCHMARK(SimAcquisitionVsFrameCopy)
    ->Args({1280, 1024})
    ->Args({2448, 2048})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
