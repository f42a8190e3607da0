#include "app/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "colc/colorcal.h"
#include "app/exit_status.h"
#include "support/scratch_folder.h"

namespace {

kcColorCalibrationResult aResult(std::size_t channels = 3) {
  kcColorCalibrationResult result;
  result.exposure(0.025);
  result.contrast(0.5);
  result.brightness(0.4);
  result.positive8BitLut(true);
  std::vector<kcColorCalibrationChannelResult> c(channels);
  for (std::size_t k = 0; k < channels; ++k) c[k].init(1.0 + 0.1 * k, -3.0 * k, 1.5);
  result.channelResults(c);
  return result;
}

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Runs the operation and returns the status of the CommandFailure it throws,
// checking that the message names the file.
template <class Operation>
ExitStatus failureOf(Operation operation, const std::string& named) {
  try {
    operation();
  } catch (const CommandFailure& e) {
    EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
    return e.status();
  }
  ADD_FAILURE() << "no failure";
  return ExitStatus::ok;
}

}  // namespace

TEST(StoredRecords, ResultsAndParametersAreToldApartAndComeBackEqual) {
  ScratchFolder dir;
  const StoredCalibration uncorrected{aResult(), std::nullopt};
  writeResultArchive(dir / "r", uncorrected);
  const StoredRecord result = readRecordArchive(dir / "r");
  ASSERT_TRUE(std::holds_alternative<StoredCalibration>(result));
  EXPECT_EQ(std::get<StoredCalibration>(result), uncorrected);
  EXPECT_EQ(readResultArchive(dir / "r"), uncorrected);

  // A colour correction follows the result; without one the archive holds the result alone.
  const StoredCalibration corrected{
      aResult(),
      kcColorCorrection(kcColorCorrection::Domain::linear, {{{1.2, -0.1, -0.1, 0.01}, {0, 1, 0, 0}, {0, 0, 1, 0}}})};
  writeResultArchive(dir / "c", corrected);
  EXPECT_EQ(readResultArchive(dir / "c"), corrected);
  EXPECT_GT(bytesOf(dir / "c").size(), bytesOf(dir / "r").size());

  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.exposureRange(kcRange(0.001, 0.1));
  {
    kcFileArchive out(dir / "p", kcArchive::write);
    out || params;
  }
  const StoredRecord read = readRecordArchive(dir / "p");
  ASSERT_TRUE(std::holds_alternative<kcColorCalibrationParams>(read));
  EXPECT_EQ(std::get<kcColorCalibrationParams>(read), params);
  EXPECT_EQ(failureOf([&] { readResultArchive(dir / "p"); }, "parameters"), ExitStatus::badArchive);
}

TEST(StoredRecords, DamagedArchivesAreRefusedByKind) {
  ScratchFolder dir;
  writeResultArchive(dir / "r", {aResult(), std::nullopt});
  const std::string whole = bytesOf(dir / "r");
  writeBytes(dir / "cut", whole.substr(0, whole.size() - 5));
  writeBytes(dir / "long", whole + "x");
  writeBytes(dir / "empty", "");
  writeBytes(dir / "text", "exposure=0.1\n");
  std::string version = whole;
  version[0] = 1;
  writeBytes(dir / "version", version);
  for (const char* name : {"cut", "long", "empty", "text", "version"})
    EXPECT_EQ(failureOf([&] { readRecordArchive(dir / name); }, dir / name), ExitStatus::badArchive) << name;

  writeResultArchive(dir / "two", {aResult(2), std::nullopt});
  EXPECT_EQ(failureOf([&] { readResultArchive(dir / "two"); }, "2 channel results"), ExitStatus::badArchive);
  EXPECT_EQ(failureOf([&] { readRecordArchive(dir / "missing"); }, dir / "missing"), ExitStatus::unreadableFile);
}

// A result stored before archive files carried a checksum still reads.
TEST(StoredRecords, ArchivesWithoutChecksumStillRead) {
  const StoredCalibration stored =
      readResultArchive(std::string(COLC_SOURCE_DIR) + "/tests/apps/colc/data/result-without-checksum.colc");
  EXPECT_FALSE(stored.correction);
  const kcColorCalibrationResult& old = stored.result;
  EXPECT_NEAR(old.exposure(), 0.019659, 1e-6);
  EXPECT_EQ(old.acqInfo().sequence(), 116u);
  EXPECT_NEAR(old.channelResults()[2].gain(), 1.513698, 1e-6);
  EXPECT_EQ(old.channelResults()[2].pelmap().size(), 256u);
}

TEST(StoredRecords, MessagesNameTheFileNotOurSources) {
  ScratchFolder dir;
  writeResultArchive(dir / "r", {aResult(), {}});
  std::string flipped = bytesOf(dir / "r");
  flipped[20] ^= 4;
  writeBytes(dir / "flipped", flipped);
  EXPECT_EQ(failureOf([&] { readRecordArchive(dir / "flipped"); }, "checksum"), ExitStatus::badArchive);
  std::string newer = flipped.substr(8, flipped.size() - 12);  // the bare bytes, as written before the checksum
  newer[0] = 1;
  writeBytes(dir / "newer", newer);
  try {
    readRecordArchive(dir / "newer");
    ADD_FAILURE() << "read a record of version 1";
  } catch (const CommandFailure& e) {
    EXPECT_EQ(e.status(), ExitStatus::badArchive);
    EXPECT_NE(std::string(e.what()).find(dir / "newer"), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).find("colorcal"), std::string::npos) << e.what();
  }
}

// The record of whom a result belongs to follows the result and any
// correction; records are told apart by name, and one this colc does not
// know is refused as a newer colc's.
TEST(StoredRecords, ContextRecordReadsWithAndWithoutCorrection) {
  ScratchFolder dir;
  kcCalibrationContext context;
  context.cameraModel = "simulated camera";
  context.cameraSerial = "7";
  context.search = "quick";
  const StoredCalibration plain{aResult(), std::nullopt, context};
  writeResultArchive(dir / "plain", plain);
  EXPECT_EQ(readResultArchive(dir / "plain"), plain);
  const StoredCalibration corrected{aResult(), kcColorCorrection(), context};
  writeResultArchive(dir / "corrected", corrected);
  EXPECT_EQ(readResultArchive(dir / "corrected"), corrected);

  const auto withRecordAfter = [&](const std::string& name, auto record) {
    kcFileArchive out(dir / name, kcArchive::write);
    kcColorCalibrationResult result = plain.result;
    out || result;
    kcCalibrationContext first = context;
    out || first || record;
  };
  withRecordAfter("twice", context);
  EXPECT_EQ(failureOf([&] { readResultArchive(dir / "twice"); }, "second"), ExitStatus::badArchive);
  withRecordAfter("unknown", std::string("kcSomethingNewer"));
  EXPECT_EQ(failureOf([&] { readResultArchive(dir / "unknown"); }, "kcSomethingNewer"), ExitStatus::badArchive);
}
