// One simulated acquisition (start and completion, the scene already
// rendered) at two sensor sizes, against copying the pels of one frame.
// The counter x_copy is the acquisition's time over the copy's, both
// measured in this run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <opencv2/core.hpp>

#include "host/acq/sim/sim_camera.h"

namespace {

using Clock = std::chrono::steady_clock;

// Copies of a colour frame's pels (three 8-bit planes) into memory of its own.
double secondsPerFrameCopy(long width, long height) {
  const cv::Mat frame(static_cast<int>(3 * height), static_cast<int>(width), CV_8U, cv::Scalar(7));
  cv::Mat copy(frame.size(), frame.type());
  constexpr int kCopies = 200;
  const auto start = Clock::now();
  for (int i = 0; i < kCopies; ++i) {
    frame.copyTo(copy);
    benchmark::DoNotOptimize(copy.data);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count() / kCopies;
}

void BM_SimAcquisition(benchmark::State& state) {
  kcSimCameraConfig config;
  config.width = state.range(0);
  config.height = state.range(1);
  const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();  // without the log
  fifo->triggerModel(kfManualTrigger());
  const kcAcqFifo::CompleteArgs args;
  fifo->start(0);
  fifo->completeAcq(args);  // renders the scene once

  const double copySeconds = secondsPerFrameCopy(config.width, config.height);
  const auto start = Clock::now();
  for (auto _ : state) {
    fifo->start(0);
    benchmark::DoNotOptimize(fifo->completeAcq(args).get());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  state.counters["x_copy"] = seconds / static_cast<double>(state.iterations()) / copySeconds;
  state.SetBytesProcessed(state.iterations() * 3 * config.width * config.height);
}

void BM_FrameCopy(benchmark::State& state) {
  const cv::Mat frame(static_cast<int>(3 * state.range(1)), static_cast<int>(state.range(0)), CV_8U, cv::Scalar(7));
  cv::Mat copy(frame.size(), frame.type());
  for (auto _ : state) {
    frame.copyTo(copy);
    benchmark::DoNotOptimize(copy.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.total()));
}

}  // namespace

BENCHMARK(BM_FrameCopy)->Args({1280, 1024})->Args({2448, 2048})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimAcquisition)->Args({1280, 1024})->Args({2448, 2048})->Unit(benchmark::kMillisecond);
