// "colc fit": fits a colour image file onto another and prints the
// per-channel transfer; with --find-target, calibrates from a photograph of
// the target instead (photo_fit.h).
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct FitOptions {
  std::string source;       // the camera image or photo, fitted onto ...
  std::string destination;  // ... the reference image, given as the second argument
  std::string reference;    // ... or by --reference
  std::string mask;         // optional: 255 where pels count, 0 where they do not
  bool findTarget = false;  // look for the target in the source (a photo of it) instead of pairing pels
  bool noColorCorrection = false;
  std::string out;  // with findTarget: the calibration's archive
  bool json = false;
};

CLI::App* addFitCommand(CLI::App& app, FitOptions& options);

// Reads the files, fits and prints; images the fit cannot use are an
// imagesRefused failure, a target not found in a photo targetNotFound, a
// photo's fit that does not lower its colour error didNotHelp.
void runFit(const FitOptions& options, std::ostream& out);
