// Images and stored texts that colc cannot use or show as they are: each
// refusal has the status of its kind and a message about the image, and a
// stored text reaches the terminal only as harmless characters.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/files.h"
#include "host/imaging/image_file.h"
#include "support/colc_program.h"
#include "support/scratch_folder.h"
#include "support/test_planes.h"

namespace {

void writeGrey(const std::string& path, long width, long height, const PelAt& pelAt) {
  kfWriteImageFile(path, makePlane(width, height, pelAt));
}

// The status, and that the one line on standard error names the file.
int statusNaming(const std::string& arguments, const std::string& named, const std::string& cause) {
  const ColcOutput run = runColc(arguments, true);
  EXPECT_NE(run.out.find(named), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(cause), std::string::npos) << run.out;
  return run.status;
}

}  // namespace

TEST(RefusedImages, ReferencesWithoutAPatternAndViewsWithoutAMatchHaveTheImageStatuses) {
  ScratchFolder dir;
  const std::string camera = "calibrate --no-pel-mapping --camera sim:width=320,height=240";
  writeGrey(dir / "flat.png", 200, 150, [](long, long) { return 128; });
  writeGrey(dir / "tiny.png", 6, 6, [](long x, long y) { return 40 * x + y; });
  EXPECT_EQ(statusNaming(camera + " --reference " + (dir / "flat.png"), "flat.png", "same grey value"), 6);
  EXPECT_EQ(statusNaming(camera + " --reference " + (dir / "tiny.png"), "tiny.png", "6 x 6 pels"), 6);
  // Sides beyond what the resampling handles are refused from the header.
  writeGrey(dir / "wide.png", 32767, 8, [](long x, long y) { return (x + y) % 256; });
  EXPECT_EQ(statusNaming(camera + " --reference " + (dir / "wide.png"), "wide.png", "32767 x 8 pels"), 6);
  // Two horizontal ramps: the pattern search places the reference in the
  // view, but the correlation finds no match there.
  writeGrey(dir / "ramp.png", 128, 85, [](long x, long) { return x * 255 / 127; });
  writeGrey(dir / "scene.png", 400, 300, [](long x, long) { return x * 255 / 399; });
  EXPECT_EQ(statusNaming(camera + " --reference " + (dir / "ramp.png") + " --scene " + (dir / "scene.png") +
                             " --save-view " + (dir / "view.png"),
                         "start settings", "matches the reference image poorly"),
            7);
}

TEST(RefusedImages, StoredTextsReachTheTerminalAsHarmlessCharacters) {
  ScratchFolder dir;
  kcColorCalibrationResult result;
  std::vector<kcColorCalibrationChannelResult> channels(3);
  result.channelResults(channels);
  kcAcquireInfo info;
  // Clears the screen, retitles the window, rings the bell; then bytes that are not UTF-8.
  info.failure(kcAcqFailure(5, "stall\x1b[2J\x1b]0;owned\x07\xc2\x9b \xff\xfe caf\xc3\xa9"));
  result.acqInfo(info);
  writeResultArchive(dir / "result", {result, {}});

  const ColcOutput text = runColc("show " + (dir / "result"));
  EXPECT_EQ(text.status, 0);
  for (const char c : text.out) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << static_cast<int>(c);
  EXPECT_NE(text.out.find("stall\\x1b[2J\\x1b]0;owned\\x07\\xc2\\x9b \\xff\\xfe caf\xc3\xa9)"), std::string::npos)
      << text.out;

  const ColcOutput json = runColc("show --json " + (dir / "result"));
  ASSERT_EQ(json.status, 0);
  const std::string description = nlohmann::json::parse(json.out)["acqInfo"]["description"];
  EXPECT_EQ(description.substr(0, 5), "stall");
  EXPECT_NE(description.find("\xef\xbf\xbd"), std::string::npos);  // U+FFFD for the bytes that are not UTF-8
}
