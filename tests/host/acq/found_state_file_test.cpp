#include "host/acq/aravis/found_state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "colc/host/exceptions.h"
#include "support/scratch_folder.h"

namespace {

// Fields split at single spaces whatever the text holds, and read back as it was.
TEST(FoundStateFile, FieldsHoldAnyTextAndSplitAtSpaces) {
  const std::vector<std::string> texts = {"", "Continuous", "two words", "100%", "tab\tand\nline", "%41", "\x7f\x01"};
  std::string line = "state";
  for (const std::string& text : texts) line += " " + kfRecordField(text);
  const std::vector<std::string> fields = kfRecordFields(line);
  ASSERT_EQ(fields.size(), texts.size() + 1);
  for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(kfRecordFieldText(fields[i + 1]), texts[i]) << i;
  EXPECT_EQ(kfRecordInteger("-12", line, -20, 20), -12);
  for (const char* bad : {"", "1x", "21", "99999999999999999999"})
    EXPECT_THROW(kfRecordInteger(bad, line, -20, 20), kcIOError) << bad;
}

// A file is written whole, read back without its first two lines, and
// refused when it was written for another camera or is cut short.
TEST(FoundStateFile, KeepsTheLinesOfOneCamera) {
  const ScratchFolder tmp;
  const kcFoundStateFile file(tmp.path(), "Aravis Fake (COLC-TEST)");
  EXPECT_EQ(file.path(), tmp / "cameras/Aravis_Fake__COLC-TEST_.found");
  EXPECT_FALSE(file.read());
  file.write({"state TriggerMode % % text Off", "lut-index 77"});
  ASSERT_TRUE(file.read());
  EXPECT_EQ(*file.read(), (std::vector<std::string>{"state TriggerMode % % text Off", "lut-index 77"}));

  const kcFoundStateFile other(tmp.path(), "Aravis Fake [COLC-TEST]");  // the same file name
  EXPECT_THROW(other.read(), kcIOError);
  std::ofstream(file.path(), std::ios::app) << "lut-index";  // no end of line: cut short
  EXPECT_THROW(file.read(), kcIOError);
  file.remove();
  EXPECT_FALSE(std::filesystem::exists(file.path()));
}

}  // namespace
