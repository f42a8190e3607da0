// A calibration as colc runs it, the search path it reports, and the
// report page it writes.
#include "calibration_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "exit_status.h"
#include "host/acq/sim/frame_clock.h"
#include "host/runtime/cancellation.h"
#include "report.h"
#include "search_path.h"
#include "support/calibration_cameras.h"
#include "support/scratch_folder.h"

namespace {

CalibrationRun calibrate(const kcPtrHandle<kcInstrumentedAcqFifo>& camera, bool diagnostics = false,
                         std::vector<kcColorCameraSettings>* heard = nullptr) {
  return runCalibration(camera, kfTestChart(), kfQuickParams(), diagnostics, [&](const kcColorCameraSettings& s) {
    if (heard) heard->push_back(s);
  });
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

using Path = std::vector<kcColorCameraSettings>;
using Changes = std::vector<std::pair<std::size_t, kcColorCameraSettings>>;

const kcColorCameraSettings S(0.01, 0.5, 0.5), A(1e-6, 0.0, 0.0), B(0.2, 0.5, 0.5), C(0.01, 1.0, 0.5),
    D(0.01, 0.5, 1.0), G(0.1, 0.25, 0.5);

void pair(Path& path, const kcColorCameraSettings& s) { path.insert(path.end(), {s, s}); }

// A cycle as the search makes it: each candidate in a pair, then a settling
// pair and a single image at the cycle's best.
void cycle(Path& path, std::initializer_list<kcColorCameraSettings> candidates, const kcColorCameraSettings& best) {
  for (const auto& c : candidates) pair(path, c);
  pair(path, best);
  path.push_back(best);
}

Changes changesAlong(const Path& path, const kcColorCameraSettings& result) {
  Changes changes;
  for (const BestChange& c : bestSettingsAlong(path, result)) changes.emplace_back(c.acquisition, c.settings);
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
  // The camera's time: every frame of the search and of the result records,
  // its exposure plus one read-out; none of it waited, all of it counted.
  double frames = 0.0;
  for (const kcColorCameraSettings& s : heard) frames += s.exposure() + 1.0 / kfDefaultReadoutFps(320, 240);
  ASSERT_TRUE(run.cameraSeconds);
  EXPECT_NEAR(*run.cameraSeconds, frames, 1e-9);
  EXPECT_EQ(run.computingSeconds, run.seconds);
  ASSERT_GE(run.diagnostics.numRecords(), 3);
  EXPECT_EQ(run.diagnostics.diagRecord(run.diagnostics.numRecords() - 1).annotation(), "Monochrome image");

  // The search path finds the result from the acquisitions alone.
  const kcColorCameraSettings result(run.result.exposure(), run.result.contrast(), run.result.brightness());
  // Settings the search never reaches: the last best must come from the path, not from this.
  const auto changes = bestSettingsAlong(run.acquisitions, kcColorCameraSettings(-1, -1, -1));
  ASSERT_GE(changes.size(), 3u);
  EXPECT_EQ(changes[changes.size() - 2].settings, result);
  for (std::size_t k = 1; k + 1 < changes.size(); ++k) {
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
  Path path{S};
  cycle(path, {A, B, S}, B);  // B wins the first cycle: acquisitions 3 and 4
  Path endsInside = path;
  cycle(path, {C, D}, B);  // nothing better
  const std::size_t gAt = path.size() + 2;
  cycle(path, {D, G}, G);  // G measured last: its pair runs on into the settling images
  EXPECT_EQ(changesAlong(path, G), (Changes{{0, S}, {3, B}, {gAt, G}}));

  // A search ending inside a cycle ends at its result.
  const std::size_t dAt = endsInside.size() + 2;
  pair(endsInside, C);
  pair(endsInside, D);  // D became best for the fourth time: the search stops here
  EXPECT_EQ(changesAlong(endsInside, D), (Changes{{0, S}, {3, B}, {dAt, D}}));
}

TEST(SearchPath, ShortPaths) {
  EXPECT_TRUE(bestSettingsAlong({}, S).empty());
  EXPECT_EQ(changesAlong({S}, S), (Changes{{0, S}}));
  // A cycle with no candidate measures the best again: runs of even length at it change nothing.
  Path still{S};
  cycle(still, {}, S);
  cycle(still, {}, S);
  EXPECT_EQ(changesAlong(still, S), (Changes{{0, S}}));
}

TEST(Report, ThePageShowsEveryImageItWroteWithTheResultTextOverTheRecordsThatExist) {
  ScratchFolder dir;
  const CalibrationSetup setup{"simulated camera", "'<odd> & name.png' (192 x 128 pels)"};
  CalibrationRun run = runCalibration(kfOpenChartCamera(), kfTestChart(), kfQuickParams(), true, [](const auto&) {});
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
  for (const char* shown : {"&lt;odd&gt; &amp; name.png", "red transfer", "blue transfer", "<title>search path</title>",
                            "<h2>Colour error</h2>"})
    EXPECT_NE(html.find(shown), std::string::npos) << shown;

  // A run without result records shows the other images.
  run.diagnostics.clear();
  writeReport(dir / "bare", {"camera", "reference"}, run, kfTestChart());
  EXPECT_EQ(imageSources(textOf(dir / "bare/colc-report.html")),
            (std::set<std::string>{"colc-reference.png", "colc-start-view.png", "colc-colour-error.png"}));
}
