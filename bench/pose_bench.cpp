// Pose finding on a 1280 x 1024 frame of the simulated camera, which shows
// its chart (a 480 x 320 calibration image) turned by 8 degrees and scaled
// by 0.95. Every benchmark reports "ratio": its time over the time of one
// full-frame normalised correlation of the calibration image's intensity
// with the frame's (cv::matchTemplate, TM_CCOEFF_NORMED, no rotation or
// scale), run alternately with it (bench/paired_timing.h). The parts of
// pose finding are timed on their own too, to show where the time goes.
// All of it runs on one OpenCV thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "bench/one_thread.h"
#include "bench/paired_timing.h"
#include "colc/host/align.h"
#include "colc/host/corr.h"
#include "colc/tool/pose.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

struct Scene {
  kc3PlanePelBuffer calibration = kfSimTargetChart(480);
  kc3PlanePelBuffer frame;
  // The training image as pose finding makes it: client origin at its centre.
  kcPelBuffer<unsigned char> train;
  kcPelBuffer<unsigned char> frameGrey;

  Scene() {
    kcSimCameraConfig config;
    config.pose.x = 610.0;
    config.pose.y = 530.0;
    config.pose.rotation = 8.0;
    config.pose.scale = 0.95;
    config.target = calibration;
    const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();
    fifo->triggerModel(kfManualTrigger());
    fifo->start(0);
    frame = fifo->completeAcq(kcAcqFifo::CompleteArgs())->get3PlanePelBuffer();
    train = kfIntensityImage(calibration);
    train.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(train.width() * -0.5, train.height() * -0.5)));
    frameGrey = kfIntensityImage(frame);
  }
};

const Scene& scene() {
  static const Scene s;
  return s;
}

void fullFrameMatchTemplate() {
  cv::Mat scores;
  cv::matchTemplate(kfMatView(scene().frameGrey), kfMatView(scene().train), scores, cv::TM_CCOEFF_NORMED);
  benchmark::DoNotOptimize(scores.data);
}

template <class Run>
void measure(benchmark::State& state, const Run& run) {
  const OneThread one;
  kfTimeAgainstBaseline(state, run, 1, fullFrameMatchTemplate, 1);
}

void FindCalibrationPoseVsFullFrameMatch(benchmark::State& state) {
  measure(state, [] {
    kc3PlanePelBuffer reference;
    kcAffineSamplingParams sampling;
    kfFindCalibrationPose(scene().frame, scene().calibration, reference, sampling, nullptr, 0);
    benchmark::DoNotOptimize(sampling);
  });
}

void FrameIntensityVsFullFrameMatch(benchmark::State& state) {
  measure(state, [] { benchmark::DoNotOptimize(kfIntensityImage(scene().frame)); });
}

void AlignmentRunVsFullFrameMatch(benchmark::State& state) {
  kcSXAlignPattern pattern;
  pattern.train(scene().train, 2, nullptr, 0);
  const kcSXAlignRunParams params = kfCalibrationPoseSearch();
  measure(state, [&] {
    kcSXAlignResultSet found;
    pattern.run(scene().frameGrey, params, found, nullptr, 0);
    benchmark::DoNotOptimize(found);
  });
}

void CorrelationRefinementVsFullFrameMatch(benchmark::State& state) {
  kcSXAlignPattern pattern;
  pattern.train(scene().train, 2, nullptr, 0);
  kcSXAlignResultSet found;
  pattern.run(scene().frameGrey, kfCalibrationPoseSearch(), found, nullptr, 0);
  if (found.numFound() == 0) {
    state.SkipWithError("the chart was not found");
    return;
  }
  measure(state, [&] {
    kcNormalizedCorrelationAffineResult refined;
    kfNormalizedCorrelationAffinePose(scene().train, scene().frameGrey, found.result(0).pose(), refined, nullptr, 0);
    benchmark::DoNotOptimize(refined);
  });
}

}  // namespace

BENCHMARK(FindCalibrationPoseVsFullFrameMatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameIntensityVsFullFrameMatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(AlignmentRunVsFullFrameMatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(CorrelationRefinementVsFullFrameMatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
