// Whom a calibration belongs to and how it was made: the camera (or the
// photograph) it was made from, when, against which reference, by which
// colc and search, and the colour error it reached, against which a later
// check of the same camera is measured. An archive keeps it beside the
// result it describes.
#pragma once

#include <string>

#include "colc/host/persist.h"

struct kcCalibrationContext {
  // The name an archive stores the record under.
  static constexpr const char* kClassName = "kcCalibrationContext";

  // The camera as it describes itself; empty for a photograph.
  std::string cameraVendor;
  std::string cameraModel;
  std::string cameraSerial;
  std::string cameraFirmware;
  std::string pelFormat;
  // The region of the sensor read, in pels.
  long regionX = 0;
  long regionY = 0;
  long regionWidth = 0;
  long regionHeight = 0;
  // The photograph's file name, for a calibration from a photograph; empty
  // for one from a camera.
  std::string photo;
  // When the calibration was made: UTC, "2026-12-06T23:36:24Z".
  std::string date;
  // The SHA-256 of the reference's pels, in lower-case hex.
  std::string referenceSha256;
  std::string colcVersion;
  // The settings search: "quick" or "full"; empty for a photograph.
  std::string search;
  // The mean and max CIEDE2000 over the reference's flat regions through
  // the stored correction, when measured.
  bool hasColourError = false;
  double colourErrorMean = 0.0;
  double colourErrorMax = 0.0;

  bool operator==(const kcCalibrationContext& other) const;
  bool operator!=(const kcCalibrationContext& other) const { return !(*this == other); }
  // Whether both describe the same camera: vendor, model and serial number.
  bool sameCamera(const kcCalibrationContext& other) const;
};

// The record's layout: its class name (a string), a version byte 0, then
// the fields in the order above (texts as strings, the region as four
// longs, the colour error as a bool and two doubles). Reading refuses
// another class name with kcArchive::BadData, another version with
// kcArchive::UnknownVersion naming the class and line 0. A failed read
// leaves the record as it was.
kcArchive& operator||(kcArchive& ar, kcCalibrationContext& context);
// The same record after its class name, for a reader that read the name
// to learn which record follows.
kcArchive& kfArchiveAfterClassName(kcArchive& ar, kcCalibrationContext& context);
