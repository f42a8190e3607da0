// Finding the target at any turn, scale and slant (kfFindTarget) in three
// views: the simulated camera (1280 x 1024) showing its chart drawn 320
// pels wide, turned and slanted; the same camera showing the chart drawn
// only 99 pels wide, where the candidate search can reduce the view least;
// and a real photograph (tests/data/photos/webcam_lightbox.jpg) against the
// 24-patch chart drawn as colc fit --find-target draws it. Every benchmark
// reports "ratio": its time over the time of one full-frame normalised
// correlation of the 320-pel chart's intensity with the first view
// (cv::matchTemplate, TM_CCOEFF_NORMED, no turn or scale), run alternately
// with it (bench/paired_timing.h). The candidate search is timed on its
// own too. All of it runs on one OpenCV thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <string>

#include "bench/one_thread.h"
#include "bench/paired_timing.h"
#include "colc/host/target_finder.h"
#include "colc/tool/pose.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/align/target_candidates.h"
#include "host/charts/common_chart.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/image_file.h"

namespace {

struct FinderScene {
  kcPelBuffer<unsigned char> view;
  kcPelBuffer<unsigned char> reference;
  kcTargetSearchParams search;
};

FinderScene simulatedScene(long chartWidth, const kcSimPose& pose) {
  kcSimCameraConfig config;
  config.pose = pose;
  config.target = kfSimTargetChart(chartWidth);
  const kcPtrHandle<kcAcqFifo> fifo = kfOpenSimCamera(config)->inner();
  fifo->triggerModel(kfManualTrigger());
  fifo->start(0);
  FinderScene scene;
  scene.view = kfIntensityImage(fifo->completeAcq(kcAcqFifo::CompleteArgs())->get3PlanePelBuffer());
  scene.reference = kfIntensityImage(config.target);
  return scene;
}

const FinderScene& typicalScene() {
  static const FinderScene s = simulatedScene(320, {600.0, 540.0, 118.0, 1.3, 25.0, 40.0});
  return s;
}

const FinderScene& smallScene() {
  static const FinderScene s = simulatedScene(99, {700.0, 480.0, -63.0, 1.2, 25.0, 120.0});
  return s;
}

// As colc fit --find-target draws a named chart for a photograph: 0.4 of
// the photo's longer side, looked for from a quarter of that size up.
const FinderScene& photoScene() {
  static const FinderScene s = [] {
    const kc3PlanePelBuffer photo =
        kfReadColorImageFile(std::string(COLC_BENCH_SOURCE_DIR) + "/tests/data/photos/webcam_lightbox.jpg");
    FinderScene scene;
    scene.view = kfIntensityImage(photo);
    scene.reference = kfIntensityImage(kfCommonChart(static_cast<long>(0.4 * std::max(photo.width(), photo.height()))));
    scene.search.minScale = 0.25;
    return scene;
  }();
  return s;
}

void fullFrameMatchTemplate() {
  cv::Mat scores;
  cv::matchTemplate(kfMatView(typicalScene().view), kfMatView(typicalScene().reference), scores,
                    cv::TM_CCOEFF_NORMED);
  benchmark::DoNotOptimize(scores.data);
}

void findTarget(benchmark::State& state, const FinderScene& scene) {
  const OneThread one;
  kfTimeAgainstBaseline(
      state,
      [&] {
        const kcTargetMatch match = kfFindTarget(scene.view, scene.reference, scene.search);
        if (!match.found()) state.SkipWithError("the target was not found");
        benchmark::DoNotOptimize(match);
      },
      1, fullFrameMatchTemplate, 1);
}

void candidates(benchmark::State& state, const FinderScene& scene) {
  const OneThread one;
  const kcCandidateSearch search{scene.search.minScale, scene.search.maxScale, scene.search.quarterTurns};
  kfTimeAgainstBaseline(
      state,
      [&] { benchmark::DoNotOptimize(kfTargetCandidates(kfMatView(scene.view), kfMatView(scene.reference), search)); },
      1, fullFrameMatchTemplate, 1);
}

void FindTypicalTargetVsFullFrameMatch(benchmark::State& state) { findTarget(state, typicalScene()); }
void FindSmallTargetVsFullFrameMatch(benchmark::State& state) { findTarget(state, smallScene()); }
void FindPhotographedTargetVsFullFrameMatch(benchmark::State& state) { findTarget(state, photoScene()); }
void TypicalCandidatesVsFullFrameMatch(benchmark::State& state) { candidates(state, typicalScene()); }
void SmallCandidatesVsFullFrameMatch(benchmark::State& state) { candidates(state, smallScene()); }

}  // namespace

BENCHMARK(FindTypicalTargetVsFullFrameMatch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(FindSmallTargetVsFullFrameMatch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(FindPhotographedTargetVsFullFrameMatch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(TypicalCandidatesVsFullFrameMatch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallCandidatesVsFullFrameMatch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
