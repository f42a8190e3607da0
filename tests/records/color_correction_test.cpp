// The colour correction record: equality, its archive layout and the
// refusal of records it did not write.
#include <gtest/gtest.h>

#include "colc/records/color_correction.h"
#include "colc/records/errors.h"

namespace {

const kcColorCorrection::Coefficients kMixing = {
    {{0.9, 0.1, -0.05, 0.01}, {0.02, 1.1, -0.1, -0.02}, {-0.03, 0.2, 0.8, 0.0}}};

std::vector<unsigned char> archived(kcColorCorrection correction) {
  kcMemoryArchive ar;
  ar || correction;
  return ar.data();
}

TEST(ColorCorrectionRecord, EqualityTakesDomainAndEveryCoefficient) {
  const kcColorCorrection linear(kcColorCorrection::Domain::linear, kMixing);
  EXPECT_EQ(kcColorCorrection(), kcColorCorrection());
  EXPECT_EQ(linear, kcColorCorrection(linear));
  EXPECT_NE(linear, kcColorCorrection(kcColorCorrection::Domain::encoded, kMixing));
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t i = 0; i < 4; ++i) {
      kcColorCorrection::Coefficients changed = kMixing;
      changed[k][i] += 1e-9;
      EXPECT_NE(linear, kcColorCorrection(kcColorCorrection::Domain::linear, changed)) << k << "," << i;
    }
}

TEST(ColorCorrectionRecord, RefusesCoefficientsThatAreNotFinite) {
  kcColorCorrection::Coefficients bad = kMixing;
  bad[1][3] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(kcColorCorrection(kcColorCorrection::Domain::encoded, bad), kcColorCalibrationDefs::BadParams);
}

TEST(ColorCorrectionRecord, ArchiveRoundTripAndLayout) {
  const kcColorCorrection written(kcColorCorrection::Domain::linear, kMixing);
  const std::vector<unsigned char> bytes = archived(written);
  // Class name (4 + 17 bytes), version, domain, twelve doubles.
  ASSERT_EQ(bytes.size(), 4u + 17u + 1u + 1u + 12u * 8u);
  EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 21), "kcColorCorrection");
  EXPECT_EQ(bytes[21], 0);
  EXPECT_EQ(bytes[22], 1);

  kcMemoryArchive ar(bytes);
  kcColorCorrection read;
  ar || read;
  EXPECT_EQ(read, written);
  EXPECT_EQ(ar.bytesLeft(), 0u);
}

// Each damage is refused with its own error, and the record read into is left as it was.
TEST(ColorCorrectionRecord, RefusesOtherRecordsVersionsAndDomains) {
  const std::vector<unsigned char> good = archived(kcColorCorrection(kcColorCorrection::Domain::linear, kMixing));
  const auto readInto = [](const std::vector<unsigned char>& bytes, kcColorCorrection& record) {
    kcMemoryArchive ar(bytes);
    ar || record;
  };
  kcColorCorrection untouched;

  std::vector<unsigned char> otherName = good;
  otherName[6] = 'X';
  EXPECT_THROW(readInto(otherName, untouched), kcArchive::BadData);

  std::vector<unsigned char> newerVersion = good;
  newerVersion[21] = 1;
  try {
    readInto(newerVersion, untouched);
    FAIL() << "a version 1 record was read";
  } catch (const kcArchive::UnknownVersion& e) {
    EXPECT_EQ(e.file(), "kcColorCorrection");
  }

  std::vector<unsigned char> unknownDomain = good;
  unknownDomain[22] = 2;
  EXPECT_THROW(readInto(unknownDomain, untouched), kcArchive::BadData);

  std::vector<unsigned char> infinite = good;
  std::fill(infinite.end() - 8, infinite.end() - 1, 0);
  infinite.back() = 0x7f;
  infinite[infinite.size() - 2] = 0xf0;  // +infinity, little-endian
  EXPECT_THROW(readInto(infinite, untouched), kcArchive::BadData);

  EXPECT_THROW(readInto(std::vector<unsigned char>(good.begin(), good.end() - 1), untouched), kcArchive::EndOfData);
  EXPECT_EQ(untouched, kcColorCorrection());
}

TEST(ColorCorrectionRecord, AppliesInItsDomainAndClamps) {
  const kcColorCorrection::Coefficients halve = {{{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 2.0, 0}}};
  const std::array<double, 3> grey = {0.5, 0.5, 0.5};
  const auto encoded = kcColorCorrection(kcColorCorrection::Domain::encoded, halve).apply(grey);
  EXPECT_DOUBLE_EQ(encoded[0], 0.25);
  EXPECT_DOUBLE_EQ(encoded[2], 1.0);
  // Half the light of mid-grey is brighter than a quarter of its level.
  const auto linear = kcColorCorrection(kcColorCorrection::Domain::linear, halve).apply(grey);
  EXPECT_NEAR(linear[0], 0.3608, 1e-4);
  EXPECT_LT(linear[2], 1.0);
}

}  // namespace
