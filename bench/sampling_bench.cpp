// The host's hand-vectorised loops at each vector width the processor has,
// against the same loop in 128-bit vectors (the portable path): "ratio" is
// the wider path's time over the 128-bit one's (bench/paired_timing.h).
// The sizes are those of a calibration at 1280 x 1024 on the simulated
// camera's default view: a grid of 184 x 122 samples spaced 5.2 pels, whose
// footprints reach 960 x 640 pels and are weighed out after one halving.
#include <benchmark/benchmark.h>

#include <cmath>
#include <opencv2/core.hpp>

#include "bench/paired_timing.h"
#include "host/imaging/decoded_halving.h"
#include "host/imaging/difference_moments.h"
#include "host/imaging/footprint_sampling.h"
#include "host/imaging/srgb_tables.h"

namespace {

cv::Mat noisePlane(int seed) {
  cv::Mat plane(1024, 1280, CV_8U);
  cv::RNG(static_cast<std::uint64_t>(seed)).fill(plane, cv::RNG::UNIFORM, 0, 256);
  return plane;
}

// The first argument: the width in bits.
kcVectorWidth widthOf(const benchmark::State& state) {
  return state.range(0) == 512 ? kcVectorWidth::e512 : kcVectorWidth::e256;
}

// Skips widths the processor lacks.
bool processorHas(benchmark::State& state) {
  if (widthOf(state) <= kfWidestVectors()) return true;
  state.SkipWithError("the processor lacks vectors this wide");
  return false;
}

// Arguments: the width, and the grid's turn in degrees.
void FootprintSamplesVs128Bit(benchmark::State& state) {
  if (!processorHas(state)) return;
  const cv::Mat plane = noisePlane(1);
  const double turn = static_cast<double>(state.range(1)) * M_PI / 180.0, spacing = 5.185;
  const cv::Matx23d dstToSrc(spacing * std::cos(turn), -spacing * std::sin(turn), 164.0,  //
                             spacing * std::sin(turn), spacing * std::cos(turn), 196.0);
  const cv::Size grid(184, 122);
  kfTimeAgainstBaseline(
      state, [&] { benchmark::DoNotOptimize(kfFootprintSamples(plane, dstToSrc, grid, widthOf(state)).data); }, 5,
      [&] { benchmark::DoNotOptimize(kfFootprintSamples(plane, dstToSrc, grid, kcVectorWidth::e128).data); }, 5);
}

void DecodedHalfVs128Bit(benchmark::State& state) {
  if (!processorHas(state)) return;
  const cv::Mat pels = noisePlane(2)(cv::Rect(160, 192, 960, 640));
  const float* table = kfSrgbLightTable().ptr<float>();
  kfTimeAgainstBaseline(
      state, [&] { benchmark::DoNotOptimize(kfDecodedHalf(pels, table, widthOf(state)).data); }, 5,
      [&] { benchmark::DoNotOptimize(kfDecodedHalf(pels, table, kcVectorWidth::e128).data); }, 5);
}

// One plane of two whole frames.
void DifferenceMomentsVs128Bit(benchmark::State& state) {
  if (!processorHas(state)) return;
  const cv::Mat a = noisePlane(3), b = noisePlane(4);
  const auto moments = [&](kcVectorWidth width) {
    kcPelDifferenceMoments m;
    for (int y = 0; y < a.rows; ++y) kfAddDifferenceMoments(a.ptr(y), b.ptr(y), a.cols, m, width);
    benchmark::DoNotOptimize(m.sum);
  };
  kfTimeAgainstBaseline(state, [&] { moments(widthOf(state)); }, 10, [&] { moments(kcVectorWidth::e128); }, 10);
}

void atWiderWidths(benchmark::internal::Benchmark* b) {
  b->ArgName("bits")->Arg(256)->Arg(512)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(FootprintSamplesVs128Bit)
    ->ArgNames({"bits", "turn_deg"})
    ->ArgsProduct({{256, 512}, {0, 1}})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodedHalfVs128Bit)->Apply(atWiderWidths);
// Its sums in 512-bit vectors took as long as in 256-bit ones (the frames
// come from memory): they stop at AVX2.
BENCHMARK(DifferenceMomentsVs128Bit)->ArgName("bits")->Arg(256)->UseManualTime()->Iterations(20)->Unit(
    benchmark::kMicrosecond);
