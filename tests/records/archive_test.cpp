#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "colc/colorcal.h"
#include "colc/records/errors.h"
#include "support/archive_checks.h"

namespace {

// Builds expected archive bytes by hand, independently of operator||.
struct Bytes {
  std::vector<unsigned char> v;
  Bytes& u8(unsigned b) {
    v.push_back(static_cast<unsigned char>(b));
    return *this;
  }
  Bytes& u32(std::uint32_t n) {
    for (int i = 0; i < 4; ++i) u8(n >> (8 * i) & 0xFF);
    return *this;
  }
  Bytes& f64(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i) u8(static_cast<unsigned>(bits >> (8 * i) & 0xFF));
    return *this;
  }
  Bytes& channel(double gain, double offset, double rms, const std::vector<unsigned char>& map) {
    u8(0).f64(gain).f64(offset).f64(rms).u32(static_cast<std::uint32_t>(map.size()));
    v.insert(v.end(), map.begin(), map.end());
    return *this;
  }
};

kcColorCalibrationChannelResult channel(double gain, double offset) {
  kcColorCalibrationChannelResult result;
  result.init(gain, offset, 0.25);
  return result;
}

kcColorCalibrationResult sampleResult() {
  kcColorCalibrationResult result;
  result.exposure(0.01);
  result.contrast(0.5);
  result.brightness(0.25);
  result.positive8BitLut(true);
  kcAcquireInfo info;
  info.failure(kcAcqFailure(kcAcqFailure::eFailed, "x"));
  info.sequence(7);
  result.acqInfo(info);
  result.channelResults({channel(1.0, 0.0), channel(1.2, -3.0), channel(0.9, 4.0)});
  return result;
}

// A reader that must leave its target untouched whenever it fails.
template <class Record>
std::function<void(kcArchive&)> readerKeepingOnFailure(const Record& sentinel) {
  return [sentinel](kcArchive& ar) {
    Record target = sentinel;
    try {
      ar || target;
    } catch (const kcException&) {
      EXPECT_TRUE(target == sentinel);
      throw;
    }
  };
}

}  // namespace

TEST(RecordArchive, ParamsLayoutIsStoredAsIsWithoutSetterChecks) {
  kcColorCalibrationParams params;
  params.isExposureEnabled(false);
  params.isBrightnessEnabled(false);
  params.minExposureStepSize(0.25);
  params.exposureRange({0.001, 0.5});
  params.usePositive8BitLut(false);
  const Bytes expected = Bytes().u8(0).u8(0).u8(1).u8(0).f64(0.25).u8(0).f64(0.001).f64(0.5).u8(0).u8(1);
  EXPECT_EQ(archived(params), expected.v);
  EXPECT_TRUE(restored<kcColorCalibrationParams>(expected.v) == params);

  // Values the setters would refuse are read back as stored.
  const Bytes refused = Bytes().u8(0).u8(1).u8(1).u8(1).f64(-1.0).u8(1).f64(0.0).f64(0.0).u8(1).u8(1);
  const kcColorCalibrationParams odd = restored<kcColorCalibrationParams>(refused.v);
  EXPECT_EQ(odd.minExposureStepSize(), -1.0);
  EXPECT_TRUE(odd.exposureRange() == kcRange::EmptyRange());
}

TEST(RecordArchive, ResultLayoutKeepsPelMapsAsStored) {
  kcColorCalibrationResult result = sampleResult();
  result.channelResults({channel(1.0, 0.0), channel(2.0, -3.0)});
  const Bytes expected = Bytes()
                             .u8(0).f64(0.01).f64(0.5).f64(0.25).u8(1)
                             .u8(0).u32(1).u32(1).u8('x').u32(7)
                             .u8(0).u32(2)
                             .channel(1.0, 0.0, 0.25, {})
                             .channel(2.0, -3.0, 0.25, kfBuildPelMap(2.0, -3.0));
  EXPECT_EQ(archived(result), expected.v);
  const kcColorCalibrationResult back = restored<kcColorCalibrationResult>(expected.v);
  EXPECT_TRUE(back == result);
  EXPECT_EQ(back.acqInfo().failure().description(), "x");
  EXPECT_EQ(back.acqInfo().sequence(), 7u);
  EXPECT_THROW(back.pelMapImage(kc3PlanePelBuffer()), kcColorCalibrationDefs::BadParams);

  // A stored 256-entry identity map is not rebuilt into the empty one.
  std::vector<unsigned char> identity = kfBuildPelMap(1.0, 0.0);
  const auto stored = restored<kcColorCalibrationChannelResult>(Bytes().channel(1.0, 0.0, -1.0, identity).v);
  EXPECT_EQ(stored.pelmap(), identity);
  EXPECT_FALSE(stored == kcColorCalibrationChannelResult());
  identity.resize(17);
  EXPECT_THROW(restored<kcColorCalibrationChannelResult>(Bytes().channel(1.0, 0.0, -1.0, identity).v),
               kcArchive::BadData);
}

TEST(RecordArchive, UnknownVersionsNameTheirLayout) {
  struct Case {
    std::vector<unsigned char> bytes;
    std::size_t at;
    std::function<void(kcArchive&)> read;
    std::string file;
    int line;
  };
  const std::size_t vectorVersion = 1 + 3 * 8 + 1 + archived(sampleResult().acqInfo()).size();
  const Case cases[] = {
      {archived(kcColorCalibrationParams()), 0, readerKeepingOnFailure(kcColorCalibrationParams()), "colc/colorcal", 85},
      {archived(channel(2, 0)), 0, readerKeepingOnFailure(channel(2, 0)), "colc/colorcal", 141},
      {archived(sampleResult()), 0, readerKeepingOnFailure(sampleResult()), "colc/colorcal", 158},
      {archived(sampleResult()), vectorVersion, readerKeepingOnFailure(sampleResult()), "", 0}};
  for (Case c : cases) {
    c.bytes[c.at] = 1;
    kcMemoryArchive in(c.bytes);
    try {
      c.read(in);
      ADD_FAILURE() << c.line << " accepted version 1";
    } catch (const kcArchive::UnknownVersion& e) {
      EXPECT_EQ(e.file(), c.file);
      EXPECT_EQ(e.hasFile(), !c.file.empty());
      EXPECT_EQ(e.line(), c.line);
      EXPECT_EQ(in.bytesLeft(), c.bytes.size() - c.at - 1) << "read past the version byte";
    }
  }
}

TEST(RecordArchive, ChannelCountIsCheckedAgainstTheBytesLeft) {
  const Bytes head = Bytes().u8(0).f64(0).f64(0).f64(0).u8(0).u8(0).u32(0).u32(0).u32(0).u8(0);
  const auto withCount = [&](std::uint32_t count) {
    Bytes bytes = head;
    bytes.u32(count).channel(1.0, 0.0, -1.0, {}).channel(1.0, 0.0, -1.0, {});
    return bytes.v;
  };
  EXPECT_EQ(restored<kcColorCalibrationResult>(withCount(2)).channelResults().size(), 2u);
  EXPECT_THROW(restored<kcColorCalibrationResult>(withCount(3)), kcArchive::BadData);
  // Refused at once: resizing first would ask for hundreds of gigabytes.
  EXPECT_THROW(restored<kcColorCalibrationResult>(withCount(4000000000u)), kcArchive::BadData);
}

TEST(RecordArchive, RoundTripsThroughAFile) {
  const std::string path = std::string(std::getenv("COLC_TEST_TMP") ? std::getenv("COLC_TEST_TMP") : "/tmp") +
                           "/record_archive_result.bin";
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  kcColorCalibrationResult result = sampleResult();
  {
    kcFileArchive out(path, kcArchive::write);
    out || result;
  }
  kcColorCalibrationResult back;
  kcFileArchive in(path, kcArchive::read);
  in || back;
  EXPECT_TRUE(back == result);
  std::filesystem::remove(path);
}

TEST(RecordArchive, DamagedRecordsAreRefusedAndLeaveTheTargetUnchanged) {
  kcColorCalibrationParams params;
  params.minExposureStepSize(0.5);
  expectCorruptionRefused(archived(params), readerKeepingOnFailure(kcColorCalibrationParams()));
  expectCorruptionRefused(archived(channel(1.5, 2.0)), readerKeepingOnFailure(channel(0.5, 1.0)));
  expectCorruptionRefused(archived(sampleResult()), readerKeepingOnFailure(kcColorCalibrationResult()), 5000);
}
