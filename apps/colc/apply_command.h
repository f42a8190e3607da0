// "colc apply": corrects an image file through a stored result: its colour
// correction when it has one, otherwise its pel maps.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct ApplyOptions {
  std::string result;  // an archive written by colc calibrate --out
  std::string input;
  std::string output;  // its type follows the extension: .png, .tif, .bmp, .jpg
};

CLI::App* addApplyCommand(CLI::App& app, ApplyOptions& options);
void runApply(const ApplyOptions& options);
