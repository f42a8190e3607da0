// A channel that was not fitted (a calibration without pel mapping) reads
// the same everywhere: "not fitted" in text, null in JSON, never its
// stored marker value.
#include "app/presentation.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "app/files.h"
#include "show_command.h"
#include "support/scratch_folder.h"

namespace {

// A stored result as `colc calibrate --no-pel-mapping --out` leaves it.
std::string storedWithoutPelMapping(const ScratchFolder& dir) {
  kcColorCalibrationResult result;
  std::vector<kcColorCalibrationChannelResult> channels(3);
  for (auto& c : channels) c.init(1.0, 0.0, -1.0);
  result.channelResults(channels);
  const std::string path = dir / "result.colc";
  writeResultArchive(path, {result, std::nullopt});
  return path;
}

std::string shown(const std::string& path, bool json) {
  std::ostringstream out;
  runShow(ShowOptions{path, json}, out);
  return out.str();
}

}  // namespace

TEST(Presentation, ShowSaysNotFittedWhereNoChannelWasFitted) {
  ScratchFolder dir;
  const std::string path = storedWithoutPelMapping(dir);
  const std::string text = shown(path, false);
  EXPECT_NE(text.find("not fitted"), std::string::npos) << text;
  EXPECT_EQ(text.find("-1.0"), std::string::npos) << text;
  const nlohmann::json stored = nlohmann::json::parse(shown(path, true));
  for (const auto& channel : stored["channels"]) EXPECT_TRUE(channel["rmsError"].is_null()) << channel;
}

TEST(Presentation, NumbersAndPlaneNames) {
  EXPECT_EQ(fixed(2.0 / 3.0, 2), "0.67");
  EXPECT_EQ(rmsErrorText(0.125, 3), "0.125");
  EXPECT_EQ(rmsErrorText(-1.0, 3), "not fitted");
  EXPECT_EQ(planeName(2), "blue");
  EXPECT_EQ(planeName(3), "plane 3");
  // Longer than any fixed buffer the tool used to print into.
  EXPECT_EQ(formatted("%s|%300d", "x", 7).size(), 302u);
}
