#include "report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "calibration_run.h"
#include "support/scratch_folder.h"
#include "support/calibration_cameras.h"

namespace {

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

TEST(Report, ThePageShowsEveryImageItWroteWithTheResultTextOverTheRecordsThatExist) {
  ScratchFolder dir;
  const CalibrationSetup setup{"simulated camera", "'<odd> & name.png' (192 x 128 pels)"};
  CalibrationRun run = runCalibration(kfOpenChartCamera(), kfTestChart(), kfQuickParams(), true, [](const auto&) {});
  writeReport(dir / "report", setup, run, kfTestChart());
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

  // A run without result records shows the other images.
  run.diagnostics.clear();
  writeReport(dir / "bare", {"camera", "reference"}, run, kfTestChart());
  EXPECT_EQ(imageSources(textOf(dir / "bare/index.html")), (std::set<std::string>{"reference.png", "start-view.png"}));
}
