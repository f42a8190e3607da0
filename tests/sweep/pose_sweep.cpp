// Pose finding on many random colour charts.
//
//   colc_pose_sweep [CHARTS [FIRST_SEED]]            (default 500 charts from seed 1)
//   colc_pose_sweep --finder [CHARTS [FIRST_SEED]]
//   colc_pose_sweep --finder-sim [CHARTS [FIRST_SEED]]
//
// Without --finder: kfFindCalibrationPose, each chart imaged by the
// simulated camera at a random pose within the search's zones (rotation
// within +-20 degrees, scale 0.8 to 1.2, sub-pel centre, the whole chart in
// view), each plane of the chart seen with its own sensitivity (0.6 to
// 1.4). Reports gross failures, the distribution of the corner error of
// kfFindCalibrationPose, the pattern stage's own error and how often the
// correlation refinement kept the pattern stage's pose.
//
// With --finder: kfFindTarget on charts rendered at any turn, scale 0.4 to
// 2.5 and a slant up to 30 degrees (randomTargetScene); with --finder-sim
// the same charts and poses seen by the simulated camera
// (randomSimTargetScene). Reports how many were found, and the errors at
// the chart's centre, in its sides' lengths and directions against the
// bounds colc holds its poses to.
//
// Scene n is made from seed n alone, so a failing scene can be replayed
// by itself: colc_pose_sweep [--finder] 1 n.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "colc/host/corr.h"
#include "colc/host/target_finder.h"
#include "colc/records/errors.h"
#include "colc/tool/pose.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/plane_pose.h"
#include "support/pose_scene.h"

using namespace colc_test;

namespace {

const cv::Size kSensor(1280, 1024);
// Corner errors beyond this are gross failures.
constexpr double kGross = 3.0;

struct SceneResult {
  unsigned long seed = 0;
  bool found = false;
  double error = HUGE_VAL;         // of kfFindCalibrationPose, pels
  double patternError = HUGE_VAL;  // of the pattern stage's pose
  bool startKept = false;          // the refinement returned the pattern stage's pose
  double millis = 0.0;
  std::string scene;
};

SceneResult runScene(unsigned long seed) {
  const ChartScene s = randomChartScene(seed, kSensor, 300, 600);
  const cv::Mat& chart = s.chart;
  const TargetPose& truth = s.truth;
  const kc3PlanePelBuffer acquired = kf3PlanePelBufferFromBGR(s.frame);
  const kc3PlanePelBuffer calibration = kf3PlanePelBufferFromBGR(chart);

  SceneResult r;
  r.seed = seed;
  char text[200];
  std::snprintf(text, sizeof text, "%dx%d chart, %.2f deg, scale %.3f, centre (%.2f, %.2f), planes %.2f %.2f %.2f",
                chart.cols, chart.rows, truth.rotationDegrees, truth.scale, truth.centre.x, truth.centre.y, s.planes[0],
                s.planes[1], s.planes[2]);
  r.scene = text;
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  const auto start = std::chrono::steady_clock::now();
  try {
    kfFindCalibrationPose(acquired, calibration, reference, sampling, nullptr, 0);
    r.found = true;
  } catch (const kcColorCalibrationDefs::BadImages&) {
  }
  r.millis = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (r.found) r.error = samplingCornerError(sampling, truth.xform(), chart.size());

  // The two stages on their own, as pose finding runs them.
  kcPelBuffer<unsigned char> train = kfIntensityImage(calibration);
  train.clientFromImageXform(kcXform<2>(kcMatrix<2>(), kcVector<2>(chart.cols * -0.5, chart.rows * -0.5)));
  kcSXAlignPattern pattern;
  pattern.train(train, 2, nullptr, 0);
  kcSXAlignResultSet found;
  const kcPelBuffer<unsigned char> acquiredGrey = kfIntensityImage(acquired);
  pattern.run(acquiredGrey, kfCalibrationPoseSearch(), found, nullptr, 0);
  if (found.numFound() > 0) {
    const kcXform<2> startPose = found.result(0).pose();
    r.patternError = cornerError(startPose, truth.xform(), (chart.cols - 6) * 0.5, (chart.rows - 6) * 0.5);
    kcNormalizedCorrelationAffineResult refined;
    kfNormalizedCorrelationAffinePose(train, acquiredGrey, startPose, refined, nullptr, 0);
    r.startKept = refined.pose() == startPose;
  }
  return r;
}

double percentile(const std::vector<double>& sorted, double p) {
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

// The bounds our own pose finding is held to.
constexpr double kCentreBound = 1.0, kSideBound = 2.0, kAngleBound = 0.02;
// The slant beyond which the finder's scenes are not drawn.
constexpr double kSweepTilt = 30.0;

struct FinderResult {
  unsigned long seed = 0;
  kcTargetMatch match;
  PoseErrors errors;
  double millis = 0.0;
  std::string scene;
  bool withinBounds() const {
    return match.found() && errors.centre <= kCentreBound && errors.side <= kSideBound && errors.angle <= kAngleBound;
  }
};

using SceneMaker = TargetScene (*)(unsigned long seed, cv::Size sensor, double maxTilt);

FinderResult runFinderScene(SceneMaker makeScene, unsigned long seed) {
  const TargetScene s = makeScene(seed, kSensor, kSweepTilt);
  FinderResult r;
  r.seed = seed;
  char text[240];
  std::snprintf(text, sizeof text,
                "%dx%d chart, turn %.1f deg, scale %.3f, tilt %.1f deg about %.0f deg, blur %.2f, noise %.1f, "
                "planes %.2f %.2f %.2f",
                s.chart.cols, s.chart.rows, s.truth.rotationDegrees, s.truth.scale, s.truth.tiltDegrees,
                s.truth.tiltAxisDegrees, s.blur, s.noise, s.planes[0], s.planes[1], s.planes[2]);
  r.scene = text;
  const auto start = std::chrono::steady_clock::now();
  r.match = kfFindTarget(kfPelBufferFromMat(grey(s.frame)), kfPelBufferFromMat(grey(s.chart)), {});
  r.millis = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  r.errors = poseErrors(kfToCv(r.match.pose), s.pose, s.chart.size());
  return r;
}

int finderSweep(SceneMaker makeScene, long charts, unsigned long first) {
  std::vector<FinderResult> results;
  for (long i = 0; i < charts; ++i) {
    results.push_back(runFinderScene(makeScene, first + static_cast<unsigned long>(i)));
    const FinderResult& r = results.back();
    if (!r.withinBounds())
      std::printf("seed %lu: %s: finding %d, score %.3f, centre %.3f, side %.3f, angle %.4f\n", r.seed, r.scene.c_str(),
                  static_cast<int>(r.match.finding), r.match.score, r.errors.centre, r.errors.side, r.errors.angle);
  }
  std::vector<double> centre, side, angle, score, millis;
  long found = 0, within = 0;
  for (const FinderResult& r : results) {
    found += r.match.found();
    within += r.withinBounds();
    if (r.match.found()) {
      centre.push_back(r.errors.centre), side.push_back(r.errors.side), angle.push_back(r.errors.angle);
      score.push_back(r.match.score);
    }
    millis.push_back(r.millis);
  }
  for (std::vector<double>* v : {&centre, &side, &angle, &score, &millis}) std::sort(v->begin(), v->end());
  std::printf("\n%ld charts from seed %lu on a %dx%d view, slants up to %.0f degrees\n", charts, first, kSensor.width,
              kSensor.height, kSweepTilt);
  std::printf("| found | within bounds (centre %.0f pel, sides %.0f pel, %.2f rad) |\n", kCentreBound, kSideBound,
              kAngleBound);
  std::printf("| %ld | %ld (%.1f %%) |\n\n", found, within, 100.0 * static_cast<double>(within) / static_cast<double>(charts));
  if (!centre.empty()) {
    std::printf("| found poses | median | 90 %% | 99 %% | max |\n");
    std::printf("| centre, pel | %.3f | %.3f | %.3f | %.3f |\n", percentile(centre, 0.5), percentile(centre, 0.9),
                percentile(centre, 0.99), centre.back());
    std::printf("| side length, pel | %.3f | %.3f | %.3f | %.3f |\n", percentile(side, 0.5), percentile(side, 0.9),
                percentile(side, 0.99), side.back());
    std::printf("| side direction, rad | %.4f | %.4f | %.4f | %.4f |\n", percentile(angle, 0.5), percentile(angle, 0.9),
                percentile(angle, 0.99), angle.back());
    std::printf("| score | least %.3f | 1 %% %.3f | 10 %% %.3f | median %.3f |\n\n", score.front(),
                percentile(score, 0.01), percentile(score, 0.1), percentile(score, 0.5));
  }
  const FinderResult& slowest = *std::max_element(
      results.begin(), results.end(), [](const FinderResult& a, const FinderResult& b) { return a.millis < b.millis; });
  std::printf("target finding: median %.0f ms, max %.0f ms (seed %lu: %s)\n", percentile(millis, 0.5), millis.back(),
              slowest.seed, slowest.scene.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SceneMaker finder = nullptr;
  if (argc > 1 && std::string(argv[1]) == "--finder") finder = randomTargetScene;
  if (argc > 1 && std::string(argv[1]) == "--finder-sim") finder = randomSimTargetScene;
  if (finder) --argc, ++argv;
  const long charts = argc > 1 ? std::atol(argv[1]) : 500;
  const unsigned long first = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  if (charts < 1) {
    std::fprintf(stderr, "usage: colc_pose_sweep [--finder | --finder-sim] [CHARTS [FIRST_SEED]]\n");
    return 2;
  }
  if (finder) return finderSweep(finder, charts, first);
  std::vector<SceneResult> results;
  for (long i = 0; i < charts; ++i) {
    results.push_back(runScene(first + static_cast<unsigned long>(i)));
    const SceneResult& r = results.back();
    if (!r.found || r.error > 0.25)
      std::printf("seed %lu: %s: error %.3f pel (pattern stage %.3f, %s)\n", r.seed, r.scene.c_str(), r.error,
                  r.patternError, r.startKept ? "start kept" : "refined");
  }

  std::vector<double> errors, patternErrors, millis;
  long notFound = 0, gross = 0, underQuarter = 0, kept = 0;
  for (const SceneResult& r : results) {
    notFound += !r.found;
    gross += r.found && r.error > kGross;
    underQuarter += r.found && r.error < 0.25;
    kept += r.startKept;
    if (r.found) errors.push_back(r.error);
    patternErrors.push_back(r.patternError);
    millis.push_back(r.millis);
  }
  std::sort(errors.begin(), errors.end());
  std::sort(patternErrors.begin(), patternErrors.end());
  std::sort(millis.begin(), millis.end());
  const double n = static_cast<double>(charts);
  std::printf("\n%ld charts from seed %lu on a %dx%d sensor\n", charts, first, kSensor.width, kSensor.height);
  std::printf("| not found | corner error > %.0f pel | under 0.25 pel | refinement kept the start |\n", kGross);
  std::printf("| %ld | %ld | %ld (%.1f %%) | %ld (%.1f %%) |\n\n", notFound, gross, underQuarter,
              100.0 * static_cast<double>(underQuarter) / n, kept, 100.0 * static_cast<double>(kept) / n);
  std::printf("| corner error, pel | median | 90 %% | 99 %% | max |\n");
  if (!errors.empty())
    std::printf("| pose finding | %.3f | %.3f | %.3f | %.3f |\n", percentile(errors, 0.5), percentile(errors, 0.9),
                percentile(errors, 0.99), errors.back());
  std::printf("| pattern stage alone | %.3f | %.3f | %.3f | %.3f |\n\n", percentile(patternErrors, 0.5),
              percentile(patternErrors, 0.9), percentile(patternErrors, 0.99), patternErrors.back());
  std::printf("pose finding: median %.0f ms, max %.0f ms\n", percentile(millis, 0.5), millis.back());
  return 0;
}
