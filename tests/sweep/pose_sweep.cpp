// Pose finding on many random colour charts, each imaged by the simulated
// camera at a random pose within the search's zones (rotation within +-20
// degrees, scale 0.8 to 1.2, sub-pel centre, the whole chart in view),
// each plane of the chart seen with its own sensitivity (0.6 to 1.4).
// Reports gross failures, the distribution of the corner error of
// kfFindCalibrationPose, the pattern stage's own error and how often the
// correlation refinement kept the pattern stage's pose.
//
//   colc_pose_sweep [CHARTS [FIRST_SEED]]     (default 500 charts from seed 1)
//
// Scene n is made from seed n alone, so a failing scene can be replayed
// by itself: colc_pose_sweep 1 n.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "colc/host/corr.h"
#include "colc/records/errors.h"
#include "colc/tool/pose.h"
#include "host/imaging/cv_bridge.h"
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

}  // namespace

int main(int argc, char** argv) {
  const long charts = argc > 1 ? std::atol(argv[1]) : 500;
  const unsigned long first = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
  if (charts < 1) {
    std::fprintf(stderr, "usage: colc_pose_sweep [CHARTS [FIRST_SEED]]\n");
    return 2;
  }
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
