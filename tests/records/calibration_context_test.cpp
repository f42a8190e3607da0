// The record of whom a calibration belongs to: its archive round trip and
// the refusal of records it did not write.
#include <gtest/gtest.h>

#include <cmath>

#include "colc/host/exceptions.h"
#include "colc/records/calibration_context.h"

namespace {

kcCalibrationContext aContext() {
  kcCalibrationContext c;
  c.cameraVendor = "Vendor";
  c.cameraModel = "Model 7";
  c.cameraSerial = "00042";
  c.cameraFirmware = "1.2.3";
  c.pelFormat = "BayerRG8";
  c.regionX = 8;
  c.regionY = -1;  // stored as it is: the record does not judge the camera's values
  c.regionWidth = 1280;
  c.regionHeight = 1024;
  c.date = "2026-12-06T23:36:24Z";
  c.referenceSha256 = std::string(64, 'a');
  c.colcVersion = "0.9.0";
  c.search = "quick";
  c.hasColourError = true;
  c.colourErrorMean = 0.375;
  c.colourErrorMax = 1.03;
  return c;
}

std::vector<unsigned char> archived(kcCalibrationContext context) {
  kcMemoryArchive ar;
  ar || context;
  return ar.data();
}

void readInto(const std::vector<unsigned char>& bytes, kcCalibrationContext& record) {
  kcMemoryArchive ar(bytes);
  ar || record;
}

}  // namespace

TEST(CalibrationContextRecord, ArchiveRoundTripKeepsEveryField) {
  // Each field changed alone makes a different record that still comes back equal.
  const kcCalibrationContext base = aContext();
  std::vector<kcCalibrationContext> variants(1, base);
  for (int k = 0; k < 4; ++k) variants.push_back(base);
  variants[1].cameraSerial = "00043";
  variants[2].regionHeight = 1023;
  variants[3].colourErrorMax = std::nextafter(1.03, 2.0);
  variants[4] = kcCalibrationContext{};
  variants[4].photo = "photo.png";
  for (const kcCalibrationContext& written : variants) {
    kcCalibrationContext read;
    readInto(archived(written), read);
    EXPECT_EQ(read, written);
  }
  EXPECT_NE(variants[1], base);
  EXPECT_NE(variants[3], base);
}

TEST(CalibrationContextRecord, RefusesOtherRecordsVersionsAndTruncation) {
  const std::vector<unsigned char> good = archived(aContext());
  const kcCalibrationContext untouched;
  kcCalibrationContext record;

  std::vector<unsigned char> otherName = good;
  otherName[6] = 'X';
  EXPECT_THROW(readInto(otherName, record), kcArchive::BadData);

  std::vector<unsigned char> newerVersion = good;
  newerVersion[4 + std::string(kcCalibrationContext::kClassName).size()] = 1;
  try {
    readInto(newerVersion, record);
    FAIL() << "a version 1 record was read";
  } catch (const kcArchive::UnknownVersion& e) {
    EXPECT_EQ(e.file(), "kcCalibrationContext");
  }
  EXPECT_THROW(readInto(std::vector<unsigned char>(good.begin(), good.end() - 1), record), kcArchive::EndOfData);
  EXPECT_EQ(record, untouched);
}

TEST(CalibrationContextRecord, SameCameraByVendorModelAndSerial) {
  const kcCalibrationContext a = aContext();
  kcCalibrationContext b = a;
  b.date = "2027-01-01T00:00:00Z";
  b.pelFormat = "RGB8";
  EXPECT_TRUE(a.sameCamera(b));
  b.cameraSerial = "00043";
  EXPECT_FALSE(a.sameCamera(b));
}
