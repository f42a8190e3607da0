// "colc target": writes the built-in calibration target as an image to print.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

// The widths a target may be drawn at: enough pels for its corner marks,
// and no more than a print needs.
inline constexpr long kMinTargetWidth = 96;
inline constexpr long kMaxTargetWidth = 16384;

// Throws a usage failure for a width outside those bounds.
void checkTargetWidth(long width);

struct TargetOptions {
  std::string output;
  long width = 960;
};

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& options);
void runTarget(const TargetOptions& options);
