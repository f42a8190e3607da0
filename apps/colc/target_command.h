// "colc target": writes the built-in calibration target as an image to print.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct TargetOptions {
  std::string output;
  long width = 960;
};

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& options);
void runTarget(const TargetOptions& options);
