// Record layouts in archives, of the calibration records and the error
// classes, and the refusal of damaged or unknown archives.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "colc/colorcal.h"
#include "colc/records/errors.h"

namespace {

template <class T>
std::vector<unsigned char> archived(T value) {
  kcMemoryArchive ar;
  ar || value;
  return ar.data();
}

template <class T>
T restored(const std::vector<unsigned char>& bytes) {
  kcMemoryArchive ar(bytes);
  T value{};
  ar || value;
  return value;
}

// Runs read on every strict prefix of bytes, which must throw a
// kcException, and on copies with one to three random bits flipped, which
// must either read or throw a kcException (any other exception fails the
// test; running under the sanitizers catches reads outside the data).
void expectCorruptionRefused(const std::vector<unsigned char>& bytes, const std::function<void(kcArchive&)>& read,
                             int flips = 2000) {
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    kcMemoryArchive ar(std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    EXPECT_THROW(read(ar), kcException) << "prefix of " << n << " of " << bytes.size() << " bytes";
  }
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> bit(0, bytes.size() * 8 - 1);
  for (int i = 0; i < flips; ++i) {
    std::vector<unsigned char> damaged = bytes;
    for (int k = 0; k <= i % 3; ++k) {
      const std::size_t b = bit(random);
      damaged[b / 8] ^= static_cast<unsigned char>(1u << (b % 8));
    }
    kcMemoryArchive ar(std::move(damaged));
    try {
      read(ar);
    } catch (const kcException&) {
    }
  }
}

// Expected archive bytes, built by hand independently of operator||.
struct Bytes {
  std::vector<unsigned char> v;
  Bytes& le(std::uint64_t bits, int size) {
    for (int i = 0; i < size; ++i) v.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    return *this;
  }
  Bytes& u8(unsigned b) { return le(b, 1); }
  Bytes& u32(std::uint32_t n) { return le(n, 4); }
  Bytes& f64(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return le(bits, 8);
  }
  Bytes& channel(double gain, double offset, const std::vector<unsigned char>& map) {
    u8(0).f64(gain).f64(offset).f64(0.25).u32(static_cast<std::uint32_t>(map.size()));
    v.insert(v.end(), map.begin(), map.end());
    return *this;
  }
};

kcColorCalibrationChannelResult channel(double gain, double offset) {
  kcColorCalibrationChannelResult result;
  result.init(gain, offset, 0.25);
  return result;
}

kcColorCalibrationResult sampleResult(std::vector<kcColorCalibrationChannelResult> channels) {
  kcColorCalibrationResult result;
  result.exposure(0.01);
  result.contrast(0.5);
  result.positive8BitLut(true);
  kcAcquireInfo info;
  info.failure(kcAcqFailure(kcAcqFailure::eFailed, "x"));
  info.sequence(7);
  result.acqInfo(info);
  result.channelResults(channels);
  return result;
}

// Reads a record and checks that a failed read leaves the target untouched.
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

using Defs = kcColorCalibrationDefs;

std::vector<unsigned char> written(kcPersistent&& object) {
  kcMemoryArchive ar;
  ar.writeObject(object);
  return ar.data();
}

// The stored class name: its length as 32 bits, then the name.
std::vector<unsigned char> nameBytes(const std::string& name) {
  std::vector<unsigned char> bytes(4 + name.size());
  bytes[0] = static_cast<unsigned char>(name.size());
  std::copy(name.begin(), name.end(), bytes.begin() + 4);
  return bytes;
}

}  // namespace

TEST(RecordArchive, LayoutsHoldEveryFieldInOrder) {
  kcColorCalibrationParams params;
  params.isExposureEnabled(false);
  params.minExposureStepSize(0.25);
  params.exposureRange({0.001, 0.5});
  params.allowPelMapping(false);
  const Bytes paramBytes = Bytes().u8(0).u8(0).u8(1).u8(1).f64(0.25).u8(0).f64(0.001).f64(0.5).u8(1).u8(0);
  EXPECT_EQ(archived(params), paramBytes.v);

  const kcColorCalibrationResult result = sampleResult({channel(1.0, 0.0), channel(2.0, -3.0)});
  const Bytes resultBytes = Bytes()
                                .u8(0).f64(0.01).f64(0.5).f64(0.0).u8(1)
                                .u8(0).u32(1).u32(1).u8('x').u32(7)
                                .u8(0).u32(2).channel(1.0, 0.0, {}).channel(2.0, -3.0, kfBuildPelMap(2.0, -3.0));
  EXPECT_EQ(archived(result), resultBytes.v);
  const auto back = restored<kcColorCalibrationResult>(resultBytes.v);
  EXPECT_EQ(back.acqInfo().sequence(), 7u);
  kcColorCalibrationResult otherAcq = back;
  otherAcq.acqInfo(kcAcquireInfo());
  EXPECT_TRUE(otherAcq == result);  // equality leaves the acquisition info out
  otherAcq.brightness(1.0);
  EXPECT_FALSE(otherAcq == result);
  // Two channel results stay two.
  EXPECT_THROW(back.pelMapImage(kc3PlanePelBuffer()), Defs::BadParams);

  // A stored map is not rebuilt from gain and offset, but must be usable.
  std::vector<unsigned char> identity = kfBuildPelMap(1.0, 0.0);
  EXPECT_EQ(restored<kcColorCalibrationChannelResult>(Bytes().channel(1.0, 0.0, identity).v).pelmap(), identity);
  identity.resize(17);
  EXPECT_THROW(restored<kcColorCalibrationChannelResult>(Bytes().channel(1.0, 0.0, identity).v), kcArchive::BadData);
}

TEST(RecordArchive, UnknownVersionsNameTheirLayoutBeforeReadingOn) {
  const kcColorCalibrationResult result = sampleResult({channel(2, 0)});
  const std::size_t vectorVersion = 1 + 3 * 8 + 1 + archived(result.acqInfo()).size();
  const std::tuple<std::vector<unsigned char>, std::size_t, std::function<void(kcArchive&)>, int> cases[] = {
      {archived(kcColorCalibrationParams()), 0, readerKeepingOnFailure(kcColorCalibrationParams()), 85},
      {archived(channel(2, 0)), 0, readerKeepingOnFailure(channel(2, 0)), 141},
      {archived(result), 0, readerKeepingOnFailure(result), 158},
      {archived(result), vectorVersion, readerKeepingOnFailure(result), 0}};
  for (auto [bytes, at, read, line] : cases) {
    bytes[at] = 1;
    kcMemoryArchive in(bytes);
    try {
      read(in);
      ADD_FAILURE() << line << ": version 1 accepted";
    } catch (const kcArchive::UnknownVersion& e) {
      EXPECT_EQ(e.file(), line ? "colc/colorcal" : "");
      EXPECT_EQ(e.hasFile(), line != 0);
      EXPECT_EQ(e.line(), line);
      EXPECT_EQ(in.bytesLeft(), bytes.size() - at - 1);
    }
  }
}

TEST(RecordArchive, ChannelCountIsCheckedAgainstTheBytesLeft) {
  const auto withCount = [](std::uint32_t count) {
    Bytes bytes = Bytes().u8(0).f64(0).f64(0).f64(0).u8(0).u8(0).u32(0).u32(0).u32(0).u8(0);
    return bytes.u32(count).channel(1.0, 0.0, {}).channel(1.0, 0.0, {}).v;
  };
  EXPECT_EQ(restored<kcColorCalibrationResult>(withCount(2)).channelResults().size(), 2u);
  EXPECT_THROW(restored<kcColorCalibrationResult>(withCount(3)), kcArchive::BadData);
  // Refused at once: resizing first would ask for hundreds of gigabytes.
  EXPECT_THROW(restored<kcColorCalibrationResult>(withCount(4000000000u)), kcArchive::BadData);
}

TEST(RecordArchive, DamagedRecordsAreRefusedAndLeaveTheTargetUnchanged) {
  expectCorruptionRefused(archived(kcColorCalibrationParams()), readerKeepingOnFailure(kcColorCalibrationParams()));
  expectCorruptionRefused(archived(channel(1.5, 2.0)), readerKeepingOnFailure(channel(0.5, 1.0)));
  expectCorruptionRefused(archived(sampleResult({channel(1, 0), channel(1.2, -3), channel(0.9, 4)})),
                          readerKeepingOnFailure(kcColorCalibrationResult()), 5000);
}

TEST(ErrorClasses, StoredLevelByLevelRebuiltFromTheClassTableAndRefusedWhenDamaged) {
  std::vector<unsigned char> expected = nameBytes("kcColorCalibrationDefs::BadImages");
  for (int b : {0, 0, 0, 1, 0, 0, 0, int{'x'}}) expected.push_back(static_cast<unsigned char>(b));
  EXPECT_EQ(written(Defs::BadImages("x")), expected);

  kcMemoryArchive in(expected);
  const std::unique_ptr<kcPersistent> object = in.readObject();
  const auto& back = dynamic_cast<const Defs::BadImages&>(*object);
  EXPECT_EQ(back.errorNumber(), 268473089);
  EXPECT_EQ(back.text(), "x");
  expectCorruptionRefused(written(Defs::BadImages("Can not find pose of the calibration image in the acquired Image.")),
                          [](kcArchive& ar) { ar.readObject(); });
}

TEST(ErrorClasses, UnknownVersionNamesTheLevelBeforeReadingOn) {
  const std::size_t first = nameBytes("kcColorCalibrationDefs::BadParams").size();
  for (const auto& [level, name] : {std::pair<std::size_t, std::string>{0, "kcColorCalibrationDefs::BadParams"},
                                    {1, "kcColorCalibrationDefs::Errors"}}) {
    std::vector<unsigned char> bytes = written(Defs::BadParams("m"));
    bytes[first + level] = 1;
    kcMemoryArchive in(bytes);
    try {
      in.readObject();
      ADD_FAILURE() << "version 1 accepted at " << name;
    } catch (const kcArchive::UnknownVersion& e) {
      EXPECT_EQ(e.file(), name);
      EXPECT_EQ(e.line(), 0);
      EXPECT_EQ(in.bytesLeft(), bytes.size() - first - level - 1);
    }
  }
}
