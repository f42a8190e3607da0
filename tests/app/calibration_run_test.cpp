// A calibration as colc runs it, the search path it reports, and the
// report page it writes.
#include "app/calibration_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "app/exit_status.h"
#include "host/acq/sim/frame_clock.h"
#include "host/runtime/cancellation.h"
#include "app/report.h"
#include "app/search_path.h"
#include "support/calibration_cameras.h"
#include "support/scratch_folder.h"

namespace {

CalibrationRun calibrate(const kcPtrHandle<kcInstrumentedAcqFifo>& camera, bool diagnostics = false,
                         std::vector<kcColorCameraSettings>* heard = nullptr) {
  return runCalibration(
      camera, kfTestChart(), kfQuickParams(), diagnostics,
      [&](const kcColorCameraSettings& s) {
        if (heard) heard->push_back(s);
      },
      CalibrationSearch::full);
}

ExitStatus statusOf(const kcPtrHandle<kcInstrumentedAcqFifo>& camera) {
  try {
    calibrate(camera);
  } catch (...) {
    return reportFailure(std::current_exception()).status;
  }
  return ExitStatus::ok;
}

std::string textOf(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> imageSources(const std::string& html) {
  std::set<std::string> sources;
  const std::regex src("<img src=\"([^\"]+)\"");
  for (auto m = std::sregex_iterator(html.begin(), html.end(), src); m != std::sregex_iterator(); ++m)
    sources.insert((*m)[1]);
  return sources;
}

using Steps = std::vector<kcCalibrationSearchStep>;
using Changes = std::vector<std::pair<std::size_t, kcColorCameraSettings>>;

const kcColorCameraSettings S(0.01, 0.5, 0.5), A(1e-6, 0.0, 0.0), B(0.2, 0.5, 0.5), C(0.01, 1.0, 0.5),
    D(0.01, 0.5, 1.0), G(0.1, 0.25, 0.5);

// The first step, at the start settings; the search has no best of its own yet.
Steps started() { return {{S, 1, kcColorCameraSettings()}}; }

// A cycle as the calibration tool makes it: each candidate measured in a
// pair, with the best after it, then a settling pair and a single image at
// the cycle's best.
void cycle(Steps& steps, std::initializer_list<std::pair<kcColorCameraSettings, kcColorCameraSettings>> measured) {
  for (const auto& [candidate, best] : measured) steps.push_back({candidate, 2, best});
  const kcColorCameraSettings best = steps.back().best;
  steps.push_back({best, 2, best});
  steps.push_back({best, 1, best});
}

std::size_t acquisitionsOf(const Steps& steps) {
  std::size_t n = 0;
  for (const auto& step : steps) n += static_cast<std::size_t>(step.images);
  return n;
}

Changes changesAlong(const Steps& steps) {
  Changes changes;
  for (const BestChange& c : bestSettingsAlong(steps)) changes.emplace_back(c.acquisition, c.settings);
  return changes;
}

}  // namespace

TEST(CalibrationRun, MeasuresBeforeAndAfterRecordsThePathToTheResultAndLeavesTheCameraAsFound) {
  auto camera = kfOpenChartCamera();
  const FifoState found = kfFifoStateOf(*camera);
  std::vector<kcColorCameraSettings> heard;
  const CalibrationRun run = calibrate(camera, true, &heard);
  EXPECT_EQ(kfFifoStateOf(*camera), found);

  EXPECT_EQ(run.start, kcColorCameraSettings(found.exposure, found.contrast[0], found.brightness[0]));
  EXPECT_EQ(run.startView.width(), 320);
  for (int k = 0; k < 3; ++k) EXPECT_LT(run.after[k], run.before[k]) << "plane " << k;
  EXPECT_TRUE(run.verdict.helped);
  EXPECT_EQ(run.exposureEdge, ExposureEdge::none);
  // The search's acquisitions: all but the view before, the view after and the result records' image.
  EXPECT_EQ(run.acquisitions.size() + 3, camera->completions());
  EXPECT_EQ(heard.size(), run.acquisitions.size() + 1);
  EXPECT_EQ(run.acquisitions.front(), run.start);
  EXPECT_GT(run.seconds, 0.0);
  // The camera's time: every frame of the search, its exposure plus one
  // read-out; none of it waited, all of it counted. The processor time
  // making the frames is the simulation's, not colc's.
  double frames = 0.0;
  for (const kcColorCameraSettings& s : run.acquisitions) frames += s.exposure() + 1.0 / kfDefaultReadoutFps(320, 240);
  ASSERT_TRUE(run.cameraSeconds);
  EXPECT_NEAR(*run.cameraSeconds, frames, 1e-9);
  ASSERT_TRUE(run.simulationSeconds);
  EXPECT_GT(*run.simulationSeconds, 0.0);
  EXPECT_GT(run.computingSeconds, 0.0);
  // The result records' image comes last, at the calibrated settings.
  EXPECT_EQ(heard.back(), kcColorCameraSettings(run.result.exposure(), run.result.contrast(), run.result.brightness()));
  ASSERT_GE(run.diagnostics.numRecords(), 3);
  EXPECT_EQ(run.diagnostics.diagRecord(run.diagnostics.numRecords() - 1).annotation(), "Monochrome image");

  // The steps account for every acquisition of the search, and the path
  // drawn from them ends at the result.
  std::size_t at = 0;
  for (const kcCalibrationSearchStep& step : run.steps)
    for (int i = 0; i < step.images; ++i) EXPECT_EQ(run.acquisitions.at(at++), step.acquired);
  EXPECT_EQ(at, run.acquisitions.size());
  const kcColorCameraSettings result(run.result.exposure(), run.result.contrast(), run.result.brightness());
  const auto changes = bestSettingsAlong(run.steps);
  ASSERT_GE(changes.size(), 2u);
  EXPECT_EQ(changes.back().settings, result);
  for (std::size_t k = 1; k < changes.size(); ++k) {
    EXPECT_GT(changes[k].acquisition, changes[k - 1].acquisition);
    EXPECT_EQ(run.acquisitions[changes[k].acquisition], changes[k].settings);
  }
}

TEST(CalibrationRun, CameraFailuresAndCancellationAreTheirOwnKindAndLeaveTheCameraAsFound) {
  for (const auto& [fault, status] : {std::pair{"fail-at=1", ExitStatus::cameraFailed},
                                      {"fail-at=9", ExitStatus::cameraFailed},
                                      {"unbound-at=9", ExitStatus::cameraFailed},
                                      {"timeout-at=9", ExitStatus::cameraFailed},
                                      {"write-fail-at=12", ExitStatus::cameraFailed},
                                      {"cancel-at=20", ExitStatus::cancelled}}) {
    SCOPED_TRACE(fault);
    auto camera = kfOpenChartCamera(fault);
    const FifoState found = kfFifoStateOf(*camera);
    EXPECT_EQ(statusOf(camera), status);
    kfClearCancel();
    camera->faults() = {};
    EXPECT_EQ(kfFifoStateOf(*camera), found);
  }
}

TEST(SearchPath, BestOfEachCycleIsDatedFromItsMeasurementAndHeldUntilABetterOne) {
  Steps steps = started();
  cycle(steps, {{A, A}, {B, B}, {S, B}});  // A is best only until B, at acquisitions 3 and 4
  Steps endsInside = steps;
  cycle(steps, {{C, B}, {D, B}});  // nothing better
  const std::size_t gAt = acquisitionsOf(steps) + 2;
  cycle(steps, {{D, B}, {G, G}});  // G measured last: its pair runs on into the settling images
  EXPECT_EQ(changesAlong(steps), (Changes{{0, S}, {3, B}, {gAt, G}}));

  // A search ending inside a cycle ends at its result.
  const std::size_t dAt = acquisitionsOf(endsInside) + 2;
  endsInside.push_back({C, 2, B});
  endsInside.push_back({D, 2, D});  // D became best for the fourth time: the search stops here
  EXPECT_EQ(changesAlong(endsInside), (Changes{{0, S}, {3, B}, {dAt, D}}));
}

TEST(SearchPath, ShortPathsAndSingleImageSteps) {
  EXPECT_TRUE(bestSettingsAlong({}).empty());
  EXPECT_EQ(changesAlong(started()), (Changes{{0, S}}));
  // Cycles with no candidate measure the best again: they change nothing.
  Steps still = started();
  still.push_back({S, 2, S});
  cycle(still, {});
  cycle(still, {});
  EXPECT_EQ(changesAlong(still), (Changes{{0, S}}));
  // A search of single images shows every new best, from the step that found it.
  const Steps quick{{S, 1, kcColorCameraSettings()}, {C, 1, C}, {D, 1, C}, {G, 1, G}, {B, 1, G}};
  EXPECT_EQ(changesAlong(quick), (Changes{{0, S}, {1, C}, {3, G}}));
}

TEST(Report, ThePageShowsTheVerdictAndEveryImageItWroteWithTheResultTextOfTheRecordsThatExist) {
  ScratchFolder dir;
  const CalibrationSetup setup{"simulated camera", "'<odd> & name.png' (192 x 128 pels)"};
  CalibrationRun run = runCalibration(kfOpenChartCamera(), kfTestChart(), kfQuickParams(), true, [](const auto&) {},
                                      CalibrationSearch::full);
  writeReport(dir / "report", setup, run, kfTestChart());
  const std::string html = textOf(dir / "report/colc-report.html");

  const std::set<std::string> sources = imageSources(html);
  EXPECT_EQ(sources, (std::set<std::string>{"colc-reference.png", "colc-start-view.png", "colc-color-image.png",
                                            "colc-mapped-color-image.png", "colc-monochrome-image.png",
                                            "colc-colour-error.png"}));
  for (const std::string& file : sources)
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / ("report/" + file))) << file;
  // Each of the three records carries the four lines of its result text.
  for (const char* label : {"exposure: ", "contrast: ", "brightness: ", "positive8BitLut: "}) {
    std::size_t count = 0;
    for (std::size_t at = html.find(label); at != std::string::npos; at = html.find(label, at + 1)) ++count;
    EXPECT_EQ(count, 3u) << label;
  }
  EXPECT_EQ(html.find("<odd>"), std::string::npos);
  EXPECT_EQ(html.find("<div id=\"did-not-help\">"), std::string::npos);  // the calibration helped
  // The escaped setup, the transfer charts and the search path.
  // The verdict first, and the path told as the search that ran walks it.
  EXPECT_LT(html.find("<p id=\"helped\""), html.find("<table>"));
  for (const char* shown : {"&lt;odd&gt; &amp; name.png", "red transfer", "blue transfer", "<title>search path</title>",
                            "<h2>Colour error</h2>", "by the full search in", "The full search tries"})
    EXPECT_NE(html.find(shown), std::string::npos) << shown;

  // A run without result records shows the other images.
  run.diagnostics.clear();
  writeReport(dir / "bare", {"camera", "reference"}, run, kfTestChart());
  EXPECT_EQ(imageSources(textOf(dir / "bare/colc-report.html")),
            (std::set<std::string>{"colc-reference.png", "colc-start-view.png", "colc-colour-error.png"}));
}
