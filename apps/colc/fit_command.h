// "colc fit": fits a colour image file onto another and prints the per-channel transfer.
#pragma once

#include <ostream>
#include <string>

struct FitOptions {
  std::string source;       // the camera image, fitted onto ...
  std::string destination;  // ... the reference image
  std::string mask;         // optional: 255 where pels count, 0 where they do not
  bool json = false;
};

// Reads the files, fits and prints; exceptions of reading and fitting pass through.
void runFit(const FitOptions& options, std::ostream& out);
