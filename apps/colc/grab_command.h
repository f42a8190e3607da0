// "colc grab": one image from a camera into a file, as the camera is set,
// or at a stored result's settings and corrected through it, as an
// application on the line would see it. The camera is left as found.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "app/camera.h"

struct GrabOptions {
  std::string camera = "sim";
  std::string scene;   // what the simulated camera shows; empty: the built-in target
  std::string result;  // empty: as the camera is set, uncorrected
  bool uncorrected = false;  // with a result: its settings, without its correction
  std::string output;
  double restoreTimeout = kDefaultRestoreTimeout;
};

CLI::App* addGrabCommand(CLI::App& app, GrabOptions& options);
void runGrab(const GrabOptions& options, std::ostream& out);
