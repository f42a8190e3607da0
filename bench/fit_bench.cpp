// Speed of the gain/offset fit. Every benchmark reports "ratio": its time
// over the time of a baseline run alternately with it (paired_timing.h).
// The goals are listed in the README's "Performance" section.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <utility>
#include <vector>

#include "bench/paired_timing.h"
#include "colc/balance/balance.h"
#include "colc/balance/internal/fast_evaluation.h"
#include "colc/balance/internal/joint_table.h"
#include "colc/literal/joint_table_literal.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

constexpr long kTwelveMegapixels = 4000 * 3000;

// A plane of one scene of diagonal bands (scene values -15..274) through
// the transfer gain x scene + offset, with a little noise, clipped to 0..255.
kcPelBuffer<unsigned char> scenePlane(long width, long height, double gain, double offset) {
  kcPelBuffer<unsigned char> plane(width, height);
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      const double scene = static_cast<double>((x / 3 + y / 2) % 290) - 15.0;
      const double noise = static_cast<double>((x * 7919 + y * 104729) % 5) - 2.0;
      plane.pointToRow(y)[x] = static_cast<unsigned char>(std::lround(std::clamp(gain * scene + offset + noise, 0.0, 255.0)));
    }
  return plane;
}

// A camera plane (source) and a reference plane (destination) of the scene.
struct PlanePair {
  kcPelBuffer<unsigned char> src;
  kcPelBuffer<unsigned char> dst;
};

const PlanePair& planePair(long width, long height) {
  static std::map<std::pair<long, long>, PlanePair> pairs;
  auto [at, added] = pairs.try_emplace({width, height});
  if (added) at->second = {scenePlane(width, height, 1.0, 0.0), scenePlane(width, height, 0.8, 20.0)};
  return at->second;
}

// Runs per iteration, so that an iteration at any size reads about 12 MP.
long runsFor(long width, long height) { return std::max(1L, kTwelveMegapixels / (width * height)); }

cv::Mat matOf(const Plane& p) {
  return {static_cast<int>(p.height()), static_cast<int>(p.width()), CV_8U,
          const_cast<unsigned char*>(p.pointToRow(p.window().top)), static_cast<std::size_t>(p.rowStride())};
}

// Reads the planes once: the sum of their bytes in vector registers,
// written with vector instructions so that every build type runs it so.
std::uint64_t vectorRead(const std::vector<Plane>& planes) {
  std::uint64_t sum = 0;
  const cv::v_uint8x16 ones = cv::v_setall_u8(1);
  for (const Plane& p : planes)
    for (long y = p.window().top; y < p.window().bottom; ++y) {
      const unsigned char* row = p.pointToRow(y);
      cv::v_uint32x4 lanes = cv::v_setzero_u32();
      long x = 0;
      for (; x + 16 <= p.width(); x += 16) lanes += cv::v_dotprod_expand(cv::v_load(row + x), ones);
      sum += cv::v_reduce_sum(lanes);
      for (; x < p.width(); ++x) sum += row[x];
    }
  return sum;
}

// The memory floor: OpenCV's own sum of the planes.
double memoryFloor(const std::vector<Plane>& planes) {
  double sum = 0.0;
  for (const Plane& p : planes) sum += cv::sum(matOf(p))[0];
  return sum;
}

// The least-squares line y = gain x + offset through all pel pairs, from
// their means, deviation and dot product.
std::pair<double, double> lineFromMoments(const cv::Mat& x, const cv::Mat& y) {
  cv::Scalar meanX, sDevX;
  cv::meanStdDev(x, meanX, sDevX);
  const double meanY = cv::mean(y)[0];
  const double covariance = x.dot(y) / static_cast<double>(x.total()) - meanX[0] * meanY;
  const double gain = covariance / (sDevX[0] * sDevX[0]);
  return {gain, meanY - gain * meanX[0]};
}

// What a user would write instead of the fit: that line on the planes
// converted to float. x and y are kept from call to call, so that the cost
// of fresh pages for them does not count.
std::pair<double, double> leastSquaresLine(const Plane& src, const Plane& dst, cv::Mat& x, cv::Mat& y) {
  matOf(src).convertTo(x, CV_32F);
  matOf(dst).convertTo(y, CV_32F);
  return lineFromMoments(x, y);
}

// The same line from the 8-bit planes as they are: two vectorised passes.
std::pair<double, double> integerLeastSquaresLine(const Plane& src, const Plane& dst) {
  return lineFromMoments(matOf(src), matOf(dst));
}

void fitPlane(const Plane& src, const Plane& dst) {
  kcColorCalibrationChannelResultInternal result;
  kfComputeColorCalibration(src, dst, result, nullptr, 0);
  benchmark::DoNotOptimize(result);
}

void fitImage(const kc3PlanePelBuffer& src, const kc3PlanePelBuffer& dst) {
  kcColorCalibrationResultInternal result;
  kfComputeColorCalibration(src, dst, result, nullptr, 0);
  benchmark::DoNotOptimize(result);
}

void FitPlaneVsMemoryFloor(benchmark::State& state) {
  const PlanePair& p = planePair(state.range(0), state.range(1));
  const long runs = runsFor(state.range(0), state.range(1));
  kfTimeAgainstBaseline(
      state, [&] { fitPlane(p.src, p.dst); }, runs, [&] { benchmark::DoNotOptimize(memoryFloor({p.src, p.dst})); },
      runs);
}

void FitPlaneVsVectorRead(benchmark::State& state) {
  const PlanePair& p = planePair(state.range(0), state.range(1));
  const long runs = runsFor(state.range(0), state.range(1));
  kfTimeAgainstBaseline(
      state, [&] { fitPlane(p.src, p.dst); }, runs, [&] { benchmark::DoNotOptimize(vectorRead({p.src, p.dst})); },
      runs);
}

void FitPlaneVsLeastSquaresLine(benchmark::State& state) {
  const PlanePair& p = planePair(state.range(0), state.range(1));
  const long runs = runsFor(state.range(0), state.range(1));
  cv::Mat x, y;
  kfTimeAgainstBaseline(
      state, [&] { fitPlane(p.src, p.dst); }, runs,
      [&] { benchmark::DoNotOptimize(leastSquaresLine(p.src, p.dst, x, y)); }, runs);
}

void FitPlaneVsIntegerLeastSquaresLine(benchmark::State& state) {
  const PlanePair& p = planePair(state.range(0), state.range(1));
  const long runs = runsFor(state.range(0), state.range(1));
  kfTimeAgainstBaseline(
      state, [&] { fitPlane(p.src, p.dst); }, runs,
      [&] { benchmark::DoNotOptimize(integerLeastSquaresLine(p.src, p.dst)); }, runs);
}

void LiteralEvaluationVsFast(benchmark::State& state) {
  const PlanePair& p = planePair(4000, 3000);
  const auto table = std::make_unique<kcJointTable>();
  const auto scratch = std::make_unique<kcJointTable>();
  kfBuildJointHistogram(p.src, p.dst, *table);
  const kcFastEvaluation fast(*table);
  double gain = 0.8;
  kfTimeAgainstBaseline(
      state, [&] { benchmark::DoNotOptimize(kfEvaluateMapping(*table, gain += 1e-6, 20.0, *scratch)); }, 20,
      [&] { benchmark::DoNotOptimize(fast(gain += 1e-6, 20.0)); }, 4000);
}

// A 12 MP colour pair: each plane its own transfer; and a grey pair.
struct ColourPairs {
  kc3PlanePelBuffer src;
  kc3PlanePelBuffer dst;
  kc3PlanePelBuffer greySrc;
  kc3PlanePelBuffer greyDst;
};

const ColourPairs& colourPairs() {
  static const ColourPairs pairs = [] {
    const long w = 4000, h = 3000;
    ColourPairs c;
    c.src = {scenePlane(w, h, 1.0, 0.0), scenePlane(w, h, 0.9, 10.0), scenePlane(w, h, 1.1, -5.0)};
    c.dst = {scenePlane(w, h, 0.8, 20.0), scenePlane(w, h, 1.0, 0.0), scenePlane(w, h, 0.7, 30.0)};
    // Planes of their own pels, so that the grey test really compares memory.
    const kcPelBuffer<unsigned char>& s = c.src.pelPlane(0);
    const kcPelBuffer<unsigned char>& d = c.dst.pelPlane(0);
    c.greySrc = {s, kfPelCopy(s), kfPelCopy(s)};
    c.greyDst = {d, kfPelCopy(d), kfPelCopy(d)};
    return c;
  }();
  return pairs;
}

std::vector<Plane> sixPlanes(const ColourPairs& c) {
  return {c.src.plane0(), c.src.plane1(), c.src.plane2(), c.dst.plane0(), c.dst.plane1(), c.dst.plane2()};
}

void FitColourImageVsMemoryFloor(benchmark::State& state) {
  const ColourPairs& c = colourPairs();
  kfTimeAgainstBaseline(
      state, [&] { fitImage(c.src, c.dst); }, 1,
      [&] {
        benchmark::DoNotOptimize(memoryFloor(sixPlanes(c)));
      },
      1);
}

void FitColourImageVsVectorRead(benchmark::State& state) {
  const ColourPairs& c = colourPairs();
  kfTimeAgainstBaseline(
      state, [&] { fitImage(c.src, c.dst); }, 1,
      [&] {
        benchmark::DoNotOptimize(vectorRead(sixPlanes(c)));
      },
      1);
}

void FitGreyPairVsColourPair(benchmark::State& state) {
  const ColourPairs& c = colourPairs();
  kfTimeAgainstBaseline(state, [&] { fitImage(c.greySrc, c.greyDst); }, 1, [&] { fitImage(c.src, c.dst); }, 1);
}

// The same 12 MP pair interleaved, as an application's frames come (what
// colc.fit reads from NumPy arrays), against the fit of its planes.
void FitInterleavedVsPlanes(benchmark::State& state) {
  const ColourPairs& c = colourPairs();
  const auto interleaved = [](const kc3PlanePelBuffer& image) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(3 * image.width() * image.height()));
    for (int k = 0; k < 3; ++k)
      for (long y = 0; y < image.height(); ++y)
        for (long x = 0; x < image.width(); ++x)
          bytes[static_cast<std::size_t>(3 * (y * image.width() + x) + k)] = image.pelPlane(k).pointToRow(y)[x];
    return bytes;
  };
  const std::vector<unsigned char> src = interleaved(c.src), dst = interleaved(c.dst);
  const long w = c.src.width(), h = c.src.height();
  kfTimeAgainstBaseline(
      state,
      [&] {
        kcColorCalibrationResultInternal result;
        kfFitInterleavedPels({src.data(), w, h, 3 * w, 3, {0, 1, 2}}, {}, {dst.data(), w, h, 3 * w, 3, {0, 1, 2}},
                             result);
      },
      1, [&] { fitImage(c.src, c.dst); }, 1);
}

}  // namespace

// The single-plane benchmarks at 640 x 480, 2 MP and 12 MP.
void atThreeSizes(benchmark::internal::Benchmark* b) {
  b->Args({640, 480})->Args({1920, 1080})->Args({4000, 3000});
  b->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
}

BENCHMARK(FitPlaneVsMemoryFloor)->Apply(atThreeSizes);
BENCHMARK(FitPlaneVsVectorRead)->Apply(atThreeSizes);
BENCHMARK(FitPlaneVsLeastSquaresLine)->Apply(atThreeSizes);
BENCHMARK(FitPlaneVsIntegerLeastSquaresLine)->Apply(atThreeSizes);
BENCHMARK(LiteralEvaluationVsFast)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(FitColourImageVsMemoryFloor)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(FitColourImageVsVectorRead)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(FitInterleavedVsPlanes)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(FitGreyPairVsColourPair)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
