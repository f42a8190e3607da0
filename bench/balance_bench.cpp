// Speed of the gain/offset fit on a 12-megapixel plane pair. Every
// benchmark reports "x_histogram": its time over the time of one histogram
// of the source plane, measured in the same process, so that numbers from
// different machines compare.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "colc/balance/balance.h"
#include "colc/balance/joint_table.h"

namespace {

using Clock = std::chrono::steady_clock;

kcPelBuffer<unsigned char> makePlane(double gain, double offset) {
  kcPelBuffer<unsigned char> plane(4000, 3000);
  for (long y = 0; y < plane.height(); ++y)
    for (long x = 0; x < plane.width(); ++x) {
      const double scene = static_cast<double>((x / 3 + y / 2) % 290) - 15.0;
      const double noise = static_cast<double>((x * 7919 + y * 104729) % 5) - 2.0;
      plane.pointToRow(y)[x] = static_cast<unsigned char>(std::lround(std::clamp(gain * scene + offset + noise, 0.0, 255.0)));
    }
  return plane;
}

struct Pair {
  kcPelBuffer<unsigned char> src = makePlane(1.0, 0.0);
  kcPelBuffer<unsigned char> dst = makePlane(0.8, 20.0);
};

const Pair& pair() {
  static const Pair images;
  return images;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double histogramSeconds() {
  static const double best = [] {
    double fastest = 1e9;
    std::vector<unsigned long> histogram;
    for (int i = 0; i < 5; ++i) {
      const auto start = Clock::now();
      kfPelHistogram(pair().src, histogram);
      fastest = std::min(fastest, seconds(Clock::now() - start));
    }
    return fastest;
  }();
  return best;
}

template <class Run>
void measure(benchmark::State& state, const Run& run) {
  Clock::duration total{};
  for (auto _ : state) {
    const auto start = Clock::now();
    run();
    total += Clock::now() - start;
  }
  state.counters["x_histogram"] = seconds(total) / static_cast<double>(state.iterations()) / histogramSeconds();
}

void fit12MP(benchmark::State& state) {
  measure(state, [] {
    kcColorCalibrationChannelResultInternal result;
    kfComputeColorCalibration(pair().src, pair().dst, result, nullptr, 0);
    benchmark::DoNotOptimize(result);
  });
}

void jointTable12MP(benchmark::State& state) {
  auto table = std::make_unique<kcJointTable>();
  measure(state, [&] { kfBuildJointHistogram(pair().src, pair().dst, *table); });
}

void literalEvaluation(benchmark::State& state) {
  auto table = std::make_unique<kcJointTable>();
  auto scratch = std::make_unique<kcJointTable>();
  kfBuildJointHistogram(pair().src, pair().dst, *table);
  measure(state, [&] { benchmark::DoNotOptimize(kfEvaluateMapping(*table, 0.8, 20.0, *scratch)); });
}

}  // namespace

BENCHMARK(fit12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(jointTable12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(literalEvaluation)->Unit(benchmark::kMicrosecond);
