// "colc export": writes a stored result's whole correction (its colour
// correction, or else its pel maps) as a 3D lookup table in the .cube
// format that video and image tools read.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "app/files.h"

struct ExportOptions {
  std::string result;  // an archive written by colc calibrate --out
  std::string cube;
  // Grid points along each axis: 33 is too coarse for a correction in
  // linear light, which bends sharply in the dark.
  int size = 65;
};

CLI::App* addExportCommand(CLI::App& app, ExportOptions& options);
void runExport(const ExportOptions& options);

// The table: size^3 entries on about 0..1, red changing fastest, then
// green, then blue; each the correction of its grid point, fitted so that
// interpolation between them gives what colc apply gives (cube_fit.h).
void writeCube(std::ostream& out, const StoredCalibration& calibration, int size);
