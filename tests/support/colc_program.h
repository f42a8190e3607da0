// Runs the colc program as a user would, from a shell command line.
#pragma once

#include <string>

struct ColcOutput {
  int status;
  std::string out;  // standard output; with standard error after it when asked for
};

// Runs colc with the arguments (a shell command line); standard error is
// dropped, or kept after standard output with keepErrors.
ColcOutput runColc(const std::string& arguments, bool keepErrors = false);
