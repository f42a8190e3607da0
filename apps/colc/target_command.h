// "colc target": writes a chart colc draws (its own target by default, or
// the common 24-patch chart) as an image, to print or to use as --reference;
// for printing, with the print resolution that gives it a chosen size.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct TargetOptions {
  std::string output;
  long width = 960;
  std::string chart = "colc";
  double printWidthMm = 0.0;  // 0: not given
  double dpi = 0.0;           // 0: not given
};

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& options);
// Prints the printed size when a print resolution is written.
void runTarget(const TargetOptions& options, std::ostream& out);
