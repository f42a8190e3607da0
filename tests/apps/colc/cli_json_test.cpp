// The colc program's JSON output, parsed as a program reading it would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "support/colc_program.h"
#include "support/scratch_folder.h"

namespace {

std::vector<std::string> keysOf(const nlohmann::json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

}  // namespace

// The default calibration: the quick search, the simulated camera at full size, the built-in target.
TEST(CliJson, CalibrateStoresWhatItPrintsAndShowPrintsItBack) {
  ScratchFolder dir;
  const ColcOutput run = runColc("calibrate --json --out " + (dir / "result"));
  ASSERT_EQ(run.status, 0) << run.out;
  const nlohmann::json summary = nlohmann::json::parse(run.out);
  EXPECT_EQ(keysOf(summary),
            (std::vector<std::string>{"acquisitions", "after", "before", "brightness", "cameraSeconds", "channels",
                                      "colourError", "computingSeconds", "contrast", "exposure", "positive8BitLut",
                                      "search", "seconds", "simulationSeconds", "target", "verdict"}));
  // The default is the quick search: few acquisitions, and no region clipped.
  EXPECT_EQ(summary["search"], "quick");
  EXPECT_LE(summary["acquisitions"].get<int>(), 60);
  EXPECT_EQ(summary["colourError"]["clippedRegions"]["total"], 0);
  EXPECT_EQ(summary["verdict"]["helped"], true);
  EXPECT_TRUE(summary["verdict"]["reasons"].empty());
  EXPECT_EQ(summary["verdict"]["exposureEdge"], "none");
  ASSERT_EQ(summary["channels"].size(), 3u);
  for (const auto& channel : summary["channels"])
    EXPECT_EQ(keysOf(channel), (std::vector<std::string>{"gain", "offset", "rmsError"}));
  ASSERT_EQ(summary["before"].size(), 3u);
  ASSERT_EQ(summary["after"].size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_LT(summary["after"][k].get<double>(), summary["before"][k].get<double>());
  EXPECT_GT(summary["acquisitions"].get<int>(), 10);
  EXPECT_TRUE(summary["positive8BitLut"].get<bool>());

  const ColcOutput show = runColc("show --json " + (dir / "result"));
  ASSERT_EQ(show.status, 0);
  const nlohmann::json stored = nlohmann::json::parse(show.out);
  EXPECT_EQ(stored["record"], "result");
  for (const char* key : {"exposure", "contrast", "brightness", "positive8BitLut"})
    EXPECT_EQ(stored[key], summary[key]);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(stored["channels"][k]["gain"], summary["channels"][k]["gain"]);
  // The colour correction adopted is the one stored, and it lowered the colour error.
  EXPECT_EQ(stored["colorCorrection"], summary["colourError"]["colorCorrection"]);
  const nlohmann::json& colour = summary["colourError"];
  EXPECT_LE(colour["corrected"]["mean"].get<double>(), colour["pelMaps"]["mean"].get<double>());
  EXPECT_LT(colour["corrected"]["mean"].get<double>(), colour["start"]["mean"].get<double>());
  // What the choice went by: held out, the correction adopted has the lower error.
  const nlohmann::json& heldOut = colour["heldOut"];
  EXPECT_EQ(keysOf(heldOut), (std::vector<std::string>{"chosen", "colorCorrection", "pelMaps"}));
  EXPECT_EQ(heldOut["chosen"], stored["colorCorrection"].is_null() ? "pelMaps" : "colorCorrection");
  if (!stored["colorCorrection"].is_null()) {
    EXPECT_EQ(heldOut["colorCorrection"]["domain"], stored["colorCorrection"]["domain"]);
    EXPECT_LT(heldOut["colorCorrection"]["mean"].get<double>(), heldOut["pelMaps"]["mean"].get<double>());
  }
  const nlohmann::json& clipped = colour["clippedRegions"];
  EXPECT_EQ(keysOf(clipped), (std::vector<std::string>{"bright", "dark", "total"}));
  EXPECT_LE(clipped["total"].get<int>(), colour["regions"].get<int>());
}

// A fixed exposure that clips the small camera's view of the target: the
// pel maps bring the differences down, but a sixth of the target is lost.
TEST(CliJson, CalibrationThatDidNotHelpSaysWhyAndStoresNothing) {
  ScratchFolder dir;
  ASSERT_EQ(runColc("target " + (dir / "chart.png") + " --width 192").status, 0);
  // The sharp, pel-aligned view that a fixed exposure of 0.05 s leaves
  // clipped and no better: the point here is the verdict, not the view.
  const std::string camera = "sim:width=320,height=240,x=160,y=120,rotation=0,blur=0,integrate=0,crosstalk=0";
  const std::string calibrate = "calibrate --camera " + camera + " --reference " + (dir / "chart.png") +
                                " --exposure-range 0.05:0.05 --no-contrast --no-brightness --out " +
                                (dir / "result") + " --report " + (dir / "report");
  const ColcOutput run = runColc(calibrate + " --json");
  EXPECT_EQ(run.status, 9);
  const nlohmann::json verdict = nlohmann::json::parse(run.out)["verdict"];
  EXPECT_EQ(keysOf(verdict), (std::vector<std::string>{"clipped", "exposureEdge", "helped", "reasons"}));
  EXPECT_EQ(verdict["helped"], false);
  EXPECT_EQ(verdict["exposureEdge"], "both");
  ASSERT_EQ(verdict["reasons"].size(), 1u);
  EXPECT_NE(verdict["reasons"][0].get<std::string>().find("the exposure ended at its fixed value (0.050000 s)"),
            std::string::npos)
      << verdict["reasons"][0];
  EXPECT_GT(verdict["clipped"][1].get<double>(), 0.1);
  EXPECT_FALSE(std::filesystem::exists(dir / "result"));

  std::ifstream page(dir / "report/colc-report.html");
  const std::string html{std::istreambuf_iterator<char>(page), {}};
  const std::size_t banner = html.find("<div id=\"did-not-help\">");
  ASSERT_NE(banner, std::string::npos);
  EXPECT_LT(banner, html.find("<table>"));
  EXPECT_NE(html.find("<li>the exposure ended at its fixed value", banner), std::string::npos);

  // The text says so too, under the numbers.
  const ColcOutput text = runColc(calibrate);
  EXPECT_EQ(text.status, 9);
  EXPECT_NE(text.out.find("calibrated, pel maps applied"), std::string::npos);
  EXPECT_NE(text.out.find("The calibration did not help:\n  - the exposure ended"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("The result is stored"), std::string::npos);
}
