// "colc check": whether a camera still reproduces its stored calibration.
// A few images at the stored settings, corrected as colc apply corrects
// them, their colour error against the one stored at calibration, and a
// verdict with an exit status of its own.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "app/camera.h"

struct CheckOptions {
  std::string result;
  std::string camera = "sim";
  std::string reference;  // empty: the built-in target
  bool force = false;     // check a result stored for another camera all the same
  double restoreTimeout = kDefaultRestoreTimeout;
  bool json = false;
  std::string report;  // a folder for the one-page report; empty: none
};

CLI::App* addCheckCommand(CLI::App& app, CheckOptions& options);
void runCheck(const CheckOptions& options, std::ostream& out);
