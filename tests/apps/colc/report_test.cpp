#include "report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "calibration_run.h"
#include "exit_status.h"
#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "scratch_folder.h"

namespace {

// One quick calibration with its result records, shared by the tests.
const CalibrationRun& calibrated() {
  static const CalibrationRun run = [] {
    kcSimCameraConfig config = kfParseSimCameraOptions("width=320,height=240,seed=5");
    config.target = kfSimTargetChart(192);
    kcColorCalibrationParams params;
    params.isContrastEnabled(false);
    params.isBrightnessEnabled(false);
    params.allowPelMapping(false);
    return runCalibration(kfOpenSimCamera(config), config.target, params, true, [](const kcColorCameraSettings&) {});
  }();
  return run;
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

}  // namespace

TEST(Report, ThePageShowsEveryImageItWroteWithTheResultTextOverTheRecords) {
  ScratchFolder dir;
  const CalibrationSetup setup{"simulated camera", "'<odd> & name.png' (192 x 128 pels)"};
  writeReport(dir / "report", setup, calibrated(), kfSimTargetChart(192));
  const std::string html = textOf(dir / "report/index.html");

  const std::set<std::string> sources = imageSources(html);
  EXPECT_EQ(sources, (std::set<std::string>{"reference.png", "start-view.png", "color-image.png",
                                            "mapped-color-image.png", "monochrome-image.png"}));
  for (const std::string& file : sources)
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / ("report/" + file))) << file;
  // Each of the three records carries the four lines of its result text.
  for (const char* label : {"exposure: ", "contrast: ", "brightness: ", "positive8BitLut: "}) {
    std::size_t count = 0;
    for (std::size_t at = html.find(label); at != std::string::npos; at = html.find(label, at + 1)) ++count;
    EXPECT_EQ(count, 3u) << label;
  }
  EXPECT_NE(html.find("&lt;odd&gt; &amp; name.png"), std::string::npos);
  EXPECT_EQ(html.find("<odd>"), std::string::npos);
  // Three transfer charts and the search path.
  EXPECT_NE(html.find("red transfer"), std::string::npos);
  EXPECT_NE(html.find("blue transfer"), std::string::npos);
  EXPECT_NE(html.find("<title>search path</title>"), std::string::npos);
}

TEST(Report, ARunWithoutResultRecordsShowsTheOtherImages) {
  ScratchFolder dir;
  CalibrationRun run = calibrated();
  run.diagnostics.clear();
  writeReport(dir.path(), {"camera", "reference"}, run, kfSimTargetChart(192));
  EXPECT_EQ(imageSources(textOf(dir / "index.html")), (std::set<std::string>{"reference.png", "start-view.png"}));
}

TEST(Report, AFolderThatCannotBeMadeIsUnwritable) {
  ScratchFolder dir;
  std::ofstream(dir / "file") << "x";
  try {
    writeReport(dir / "file/report", {"camera", "reference"}, calibrated(), kfSimTargetChart(192));
    FAIL() << "no failure";
  } catch (const CommandFailure& e) {
    EXPECT_EQ(e.status(), ExitStatus::unwritableFile);
  }
}
