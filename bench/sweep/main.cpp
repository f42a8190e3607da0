// colc_sweep: calibrates the simulated camera at many random poses, with
// and without cross-talk between planes, and reports how well each
// calibration reproduces the chart (docs/accuracy.md).
#include <CLI/CLI.hpp>
#include <atomic>
#include <cmath>
#include <iostream>
#include <mutex>
#include <opencv2/core.hpp>
#include <sstream>
#include <thread>
#include <vector>

#include "pose_measurement.h"
#include "pose_zones.h"
#include "sweep_report.h"

namespace {

struct SweepOptions {
  int poses = 50;
  unsigned long seed = 1;
  std::vector<double> crossTalks = {0.0, 0.05};
  bool aligned = false;
  int threads = 2;
  long width = kcSimCameraConfig{}.width;
  long height = kcSimCameraConfig{}.height;
  long chartWidth = 960;
  bool json = false;
  bool quick = false;
  unsigned long noiseSeed = 1;
  double shading = 0.0;
  bool randomStart = false;
  bool untiltedTwins = false;
  PoseZones zones;
};

// "LOW:HIGH", two scales above 0 with LOW at most HIGH, into the zones;
// what is wrong with it, or nothing.
std::string parseScales(const std::string& text, PoseZones& zones) {
  const std::size_t colon = text.find(':');
  try {
    std::size_t end = 0;
    const double low = std::stod(text.substr(0, colon), &end);
    if (colon == std::string::npos || end != colon) return "scales '" + text + "' are not LOW:HIGH";
    const double high = std::stod(text.substr(colon + 1), &end);
    if (end != text.size() - colon - 1) return "scales '" + text + "' are not LOW:HIGH";
    if (!(low > 0.0 && low <= high && std::isfinite(high))) return "scales '" + text + "': need 0 < LOW <= HIGH";
    zones.minScale = low;
    zones.maxScale = high;
    return "";
  } catch (const std::exception&) {
    return "scales '" + text + "' are not LOW:HIGH";
  }
}

// The zones, when they are not the defaults, for the page's first line.
std::string zonesText(const PoseZones& zones) {
  const PoseZones defaults;
  std::ostringstream text;
  if (zones.minScale != defaults.minScale || zones.maxScale != defaults.maxScale)
    text << ", scales " << zones.minScale << " to " << zones.maxScale;
  if (zones.maxTilt > 0.0) text << ", tilted by up to " << zones.maxTilt << " degrees about any axis";
  if (zones.quarterTurns) text << ", turned by 0, 90, 180 or 270 degrees besides";
  return text.str();
}

std::vector<SweepCase> sweepCases(const SweepOptions& o) {
  const cv::Size sensor(static_cast<int>(o.width), static_cast<int>(o.height));
  const cv::Size chart(static_cast<int>(o.chartWidth), static_cast<int>(o.chartWidth * 2 / 3));
  std::vector<kcSimPose> poses;
  if (o.aligned) poses.push_back(alignedPose(sensor, chart));
  for (const kcSimPose& pose : drawPoses(o.poses, o.seed, sensor, chart, o.zones)) poses.push_back(pose);
  std::vector<SweepCase> cases;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    const int pose = static_cast<int>(i) + (o.aligned ? 0 : 1);
    const std::optional<kcColorCameraSettings> start =
        o.randomStart ? std::optional(drawStartSettings(o.seed, pose)) : std::nullopt;
    for (double crossTalk : o.crossTalks)
      cases.push_back({pose, poses[i], crossTalk, o.quick, o.noiseSeed, start, o.shading});
  }
  return cases;
}

// Each tilted case's twin: the same case square to the camera.
std::vector<SweepCase> untiltedTwins(const std::vector<SweepCase>& cases) {
  std::vector<SweepCase> twins;
  for (SweepCase c : cases)
    if (c.placement.tilt > 0.0) c.placement.tilt = 0.0, twins.push_back(c);
  return twins;
}

// The twins' corrected colour error, beside the tilted cases'.
void attachTwins(std::vector<PoseMeasurement>& measurements, const std::vector<PoseMeasurement>& twins) {
  for (PoseMeasurement& m : measurements)
    for (const PoseMeasurement& t : twins)
      if (t.sweepCase.pose == m.sweepCase.pose && t.sweepCase.crossTalk == m.sweepCase.crossTalk && t.failure.empty())
        m.untiltedCorrectedMeanDeltaE = t.correctedMeanDeltaE;
}

// Each thread takes the next case and calibrates it on a camera of its own.
std::vector<PoseMeasurement> runSweep(const std::vector<SweepCase>& cases, const SweepOptions& o) {
  std::vector<PoseMeasurement> measurements(cases.size());
  std::atomic<std::size_t> next = 0;
  std::mutex progress;
  std::size_t done = 0;
  const auto work = [&] {
    for (std::size_t i; (i = next++) < cases.size();) {
      measurements[i] = measurePose(cases[i], cv::Size(static_cast<int>(o.width), static_cast<int>(o.height)),
                                    o.chartWidth);
      const std::lock_guard lock(progress);
      std::cerr << "colc_sweep: " << ++done << " of " << cases.size() << " calibrations done\n";
    }
  };
  std::vector<std::jthread> threads;
  for (int t = 0; t < o.threads; ++t) threads.emplace_back(work);
  threads.clear();
  return measurements;
}

}  // namespace

int main(int argc, char** argv) {
  SweepOptions o;
  CLI::App app("Calibrates the simulated camera at random poses and measures the colour error.", "colc_sweep");
  app.add_option("--poses", o.poses, "random poses")->check(CLI::NonNegativeNumber)->capture_default_str();
  app.add_option("--seed", o.seed, "seeds the poses")->capture_default_str();
  app.add_option("--crosstalk", o.crossTalks, "cross-talk values, each pose is calibrated at all")
      ->delimiter(',')
      ->check(CLI::Range(0.0, 0.5))
      ->capture_default_str();
  app.add_flag("--aligned", o.aligned, "also the pel-aligned pose (centred, rotation 0, scale 1), as pose 0");
  app.add_option("--threads", o.threads, "calibrations at a time")->check(CLI::Range(1, 64))->capture_default_str();
  app.add_option("--width", o.width, "sensor width")->capture_default_str();
  app.add_option("--height", o.height, "sensor height")->capture_default_str();
  app.add_option("--chart-width", o.chartWidth, "chart width (the height is 2/3 of it)")->capture_default_str();
  app.add_flag("--json", o.json, "JSON instead of markdown");
  app.add_option("--noise-seed", o.noiseSeed, "seeds the cameras' noise: another run of the same poses")
      ->capture_default_str();
  app.add_option("--shading", o.shading, "the cameras' light lost at the corners (0 .. 0.9)")
      ->check(CLI::Range(0.0, 0.9))
      ->capture_default_str();
  app.add_flag("--quick", o.quick, "calibrate with the quick search (kfColorCalibrateQuick)");
  app.add_flag("--random-start", o.randomStart,
               "each pose's camera opens at settings drawn from the seed, as a user could have left them");
  app.add_option("--tilt", o.zones.maxTilt, "tilt the chart by up to MAX degrees about an axis in any direction")
      ->check(CLI::Range(0.0, 60.0))
      ->capture_default_str();
  app.add_option_function<std::string>(
      "--scales",
      [&o](const std::string& text) {
        const std::string error = parseScales(text, o.zones);
        if (!error.empty()) throw CLI::ValidationError("--scales", error);
      },
      "the range of scales LOW:HIGH (default 0.8:1.2); a chart that does not fit at HIGH is refused");
  app.add_flag("--quarter-turns", o.zones.quarterTurns, "also turn the chart by 90, 180 or 270 degrees");
  app.add_flag("--untilted-twins", o.untiltedTwins,
               "also calibrate each tilted pose square to the camera, and compare the colour errors");
  CLI11_PARSE(app, argc, argv);

  try {
    // Parallel calibrations, not parallel OpenCV calls within one.
    cv::setNumThreads(1);
    const std::vector<SweepCase> cases = sweepCases(o);
    std::vector<PoseMeasurement> measurements = runSweep(cases, o);
    if (o.untiltedTwins) attachTwins(measurements, runSweep(untiltedTwins(cases), o));
    if (o.json) {
      std::cout << sweepJson(measurements).dump(2) << "\n";
    } else {
      std::cout << "# Calibration sweep\n\n"
                << o.poses << " random poses (seed " << o.seed << ")" << zonesText(o.zones)
                << (o.aligned ? " and the pel-aligned pose" : "")
                << ", sensor " << o.width << " x " << o.height << ", chart " << o.chartWidth << " pels wide"
                << (o.quick ? ", the quick search" : "") << (o.randomStart ? ", random start settings" : "")
                << (o.shading > 0.0 ? ", light falling off by " + std::to_string(o.shading) + " at the corners" : "")
                << ".\n\n";
      writeMarkdown(std::cout, measurements);
    }
  } catch (const std::exception& e) {
    std::cerr << "colc_sweep: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
