// The files a command reads and writes, with every failure turned into the
// command's exit status and one line that names the file and the cause.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "colc/host/imaging.h"
#include "colc/records/calibration_context.h"
#include "colc/records/color_correction.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

kc3PlanePelBuffer readColorImage(const std::string& path);
kcPelBuffer<unsigned char> readGreyImage(const std::string& path);
void writeImage(const std::string& path, const kc3PlanePelBuffer& image);
void writeImage(const std::string& path, const kcPelBuffer_const<unsigned char>& image);
// A .png file that states its print resolution.
void writePrintImage(const std::string& path, const kc3PlanePelBuffer& image, std::uint32_t pelsPerMetre);

// A calibration as colc calibrate stores it: the result, then the colour
// correction when one was adopted, then the record of whom it belongs to.
// An archive of the result alone reads as one without either.
struct StoredCalibration {
  kcColorCalibrationResult result;
  std::optional<kcColorCorrection> correction;
  std::optional<kcCalibrationContext> context = std::nullopt;
  bool operator==(const StoredCalibration& other) const {
    return result == other.result && correction == other.correction && context == other.context;
  }
  // The correction, or null.
  const kcColorCorrection* correctionOrNull() const { return correction ? &*correction : nullptr; }
};

// What an archive file holds: a calibration or a parameter record.
using StoredRecord = std::variant<StoredCalibration, kcColorCalibrationParams>;

// Reads an archive that holds exactly one calibration or one parameter
// record and nothing after it.
StoredRecord readRecordArchive(const std::string& path);
// Reads an archive that must hold a calibration with three channel results.
StoredCalibration readResultArchive(const std::string& path);
void writeResultArchive(const std::string& path, StoredCalibration calibration);

// Writes the file of the given kind (a "cube", a "report page") whole from
// what write puts into the stream, or leaves it as it was.
void writeOutputFile(const std::string& path, const std::string& kind,
                     const std::function<void(std::ostream&)>& write);

// Creates the folder and its parents when missing.
void makeFolder(const std::string& path);
// Checks, before long work, that a file of the given kind can be written at
// path: it is a regular file or a new path, and its folder exists and may
// be written into.
void checkOutputFile(const std::string& path, const std::string& kind);
