// The files a command reads and writes, with every failure turned into the
// command's exit status and one line that names the file and the cause.
#pragma once

#include <string>
#include <variant>

#include "colc/host/imaging.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

kc3PlanePelBuffer readColorImage(const std::string& path);
kcPelBuffer<unsigned char> readGreyImage(const std::string& path);
void writeImage(const std::string& path, const kc3PlanePelBuffer& image);
void writeImage(const std::string& path, const kcPelBuffer_const<unsigned char>& image);

// What an archive file holds: a calibration result or a parameter record.
using StoredRecord = std::variant<kcColorCalibrationResult, kcColorCalibrationParams>;

// Reads an archive that holds exactly one result or one parameter record
// and nothing after it.
StoredRecord readRecordArchive(const std::string& path);
// Reads an archive that must hold a result with three channel results.
kcColorCalibrationResult readResultArchive(const std::string& path);
void writeResultArchive(const std::string& path, kcColorCalibrationResult result);

// Creates the folder and its parents when missing.
void makeFolder(const std::string& path);
// Checks, before long work, that a file can be written at path: its
// folder exists and may be written into, and path is not a folder.
void checkWritable(const std::string& path);
