// "colc fit": fits a colour image file onto another and prints the per-channel transfer.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct FitOptions {
  std::string source;       // the camera image, fitted onto ...
  std::string destination;  // ... the reference image
  std::string mask;         // optional: 255 where pels count, 0 where they do not
  bool json = false;
};

CLI::App* addFitCommand(CLI::App& app, FitOptions& options);

// Reads the files, fits and prints; images the fit cannot use are an imagesRefused failure.
void runFit(const FitOptions& options, std::ostream& out);
