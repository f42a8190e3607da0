// Applying a calibration to whole frames, at 1080p and 12 MP, against what
// OpenCV does in the same run (bench/paired_timing.h): "ratio" is colc's
// time over the baseline's, "ns_per_pel" colc's time per pel (three bytes).
//
// The baselines: cv::LUT, one table over the three bytes of every pel, is
// the least a per-plane correction can cost; cv::transform with a 3 x 4
// matrix is the plain affine mixing of the planes, without the sRGB curve.
// Every output goes into pels kept from run to run, for colc and OpenCV
// alike, and OpenCV runs on one thread, as colc does: the clock counts the
// calling thread only.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "bench/one_thread.h"
#include "bench/paired_timing.h"
#include "colc/balance/color_correction_fit.h"
#include "colc/literal/color_correction_literal.h"
#include "colc/records/internal/pel_rows.h"
#include "host/imaging/cv_bridge.h"

namespace {

// A fitted correction of the simulated camera at cross-talk 0.1.
const kcColorCorrection& linearCorrection() {
  static const kcColorCorrection correction(
      kcColorCorrection::Domain::linear,
      {{{1.31, -0.16, -0.12, 0.004}, {-0.14, 1.27, -0.15, 0.002}, {-0.11, -0.17, 1.36, 0.006}}});
  return correction;
}

kcColorCalibrationResult pelMapResult() {
  kcColorCalibrationChannelResult red, green, blue;
  red.init(1.32, 7.9, 2.5);
  green.init(1.21, 4.8, 2.6);
  blue.init(1.46, 11.3, 2.3);
  kcColorCalibrationResult result;
  result.channelResults({red, green, blue});
  return result;
}

// A frame of a camera's typical pels: smooth light with noise, BGR.
struct Frame {
  explicit Frame(const benchmark::State& state)
      : bgr(static_cast<int>(state.range(1)), static_cast<int>(state.range(0)), CV_8UC3),
        bgrOut(bgr.size(), CV_8UC3) {
    cv::RNG(7).fill(bgr, cv::RNG::NORMAL, cv::Scalar(90, 120, 150), cv::Scalar(50, 50, 50));
    planes = kf3PlanePelBufferFromBGR(bgr);
    out = kf3PlanePelBufferFromBGR(bgr);
  }
  double pels() const { return static_cast<double>(bgr.total()); }
  kcInterleavedPels<const unsigned char> in() const { return {bgr.data, bgr.cols, bgr.rows, static_cast<long>(bgr.step), 3}; }
  kcInterleavedPels<unsigned char> outPels() { return {bgrOut.data, bgr.cols, bgr.rows, static_cast<long>(bgr.step), 3}; }

  cv::Mat bgr, bgrOut;
  kc3PlanePelBuffer planes, out;
};

cv::Mat lookUpTable() {
  cv::Mat lut(1, 256, CV_8U);
  for (int v = 0; v < 256; ++v) lut.at<unsigned char>(v) = cv::saturate_cast<unsigned char>(1.3 * v - 10);
  return lut;
}

template <class Subject, class Baseline>
void timed(benchmark::State& state, const Frame& frame, const Subject& subject, const Baseline& baseline) {
  const OneThread one;
  kfTimeAgainstBaseline(state, subject, 1, baseline, 1);
  state.counters["ns_per_pel"] = state.counters["ratio"] * state.counters["baseline_us"] * 1e3 / frame.pels();
}

void CorrectionVsLut(benchmark::State& state) {
  Frame frame(state);
  const cv::Mat lut = lookUpTable();
  timed(
      state, frame, [&] { linearCorrection().apply(frame.planes, frame.out); },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void EncodedCorrectionVsLut(benchmark::State& state) {
  Frame frame(state);
  const cv::Mat lut = lookUpTable();
  const kcColorCorrection encoded(kcColorCorrection::Domain::encoded, linearCorrection().coefficients());
  timed(
      state, frame, [&] { encoded.apply(frame.planes, frame.out); }, [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void InterleavedCorrectionVsLut(benchmark::State& state) {
  Frame frame(state);
  const cv::Mat lut = lookUpTable();
  timed(
      state, frame, [&] { linearCorrection().apply(frame.in(), frame.outPels()); },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void InterleavedEncodedCorrectionVsLut(benchmark::State& state) {
  Frame frame(state);
  const cv::Mat lut = lookUpTable();
  const kcColorCorrection encoded(kcColorCorrection::Domain::encoded, linearCorrection().coefficients());
  timed(
      state, frame, [&] { encoded.apply(frame.in(), frame.outPels()); },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

// The 256-bit vectors, which processors without AVX-512 take, on planes.
void CorrectionIn256BitVectorsVsLut(benchmark::State& state) {
  if (kfWidestVectors() < kcVectorWidth::e256) {
    state.SkipWithError("this processor has no AVX2");
    return;
  }
  Frame frame(state);
  const cv::Mat lut = lookUpTable();
  const kcCorrectionRows correct(linearCorrection(), kcVectorWidth::e256);
  const kcPelRows<const unsigned char> in = kfPelRowsOf(frame.planes, "the frame");
  const kcPelRows<unsigned char> out = kfWritablePelRowsOf(frame.out, "the output");
  timed(
      state, frame,
      [&] {
        for (long y = 0; y < in.height; ++y) correct(in.row(y), out.row(y), in.width);
      },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void CorrectionVsTransform(benchmark::State& state) {
  Frame frame(state);
  cv::Matx34f mixing;
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 4; ++j)
      mixing(2 - k, j < 3 ? 2 - j : 3) = static_cast<float>(linearCorrection().coefficients()[k][j] * (j < 3 ? 1 : 255));
  timed(
      state, frame, [&] { linearCorrection().apply(frame.planes, frame.out); },
      [&] { cv::transform(frame.bgr, frame.bgrOut, mixing); });
}

void CorrectionVsPerPelComputation(benchmark::State& state) {
  Frame frame(state);
  timed(
      state, frame, [&] { linearCorrection().apply(frame.planes, frame.out); },
      [&] { benchmark::DoNotOptimize(kfApplyColorCorrectionLiteral(linearCorrection(), frame.planes).isBound()); });
}

void PelMapsVsLut(benchmark::State& state) {
  Frame frame(state);
  const kcColorCalibrationResult result = pelMapResult();
  const cv::Mat lut = lookUpTable();
  timed(
      state, frame, [&] { result.pelMapImage(frame.planes, frame.out); },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void InterleavedPelMapsVsLut(benchmark::State& state) {
  Frame frame(state);
  const kcColorCalibrationResult result = pelMapResult();
  const cv::Mat lut = lookUpTable();
  timed(
      state, frame, [&] { result.pelMapImage(frame.in(), frame.outPels()); },
      [&] { cv::LUT(frame.bgr, lut, frame.bgrOut); });
}

void frameSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "height"})->Args({1920, 1080})->Args({4000, 3000});
  b->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
}

void everySize(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "height"})->Args({320, 240})->Args({640, 480})->Args({1920, 1080})->Args({4000, 3000});
  b->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(CorrectionVsLut)->Apply(frameSizes);
BENCHMARK(EncodedCorrectionVsLut)->Apply(frameSizes);
BENCHMARK(InterleavedCorrectionVsLut)->Apply(frameSizes);
BENCHMARK(InterleavedEncodedCorrectionVsLut)->Apply(frameSizes);
BENCHMARK(CorrectionIn256BitVectorsVsLut)->Apply(frameSizes);
BENCHMARK(CorrectionVsTransform)->Apply(frameSizes);
BENCHMARK(CorrectionVsPerPelComputation)->Args({1920, 1080})->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(PelMapsVsLut)->Apply(everySize);
BENCHMARK(InterleavedPelMapsVsLut)->Apply(everySize);
