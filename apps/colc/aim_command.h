// "colc aim": a placement aid. It acquires continuously at the camera's
// current settings, looks for the target in every image and keeps one
// terminal line up to date: found or not (and why), scale, turn, slant,
// the share of the target in view, whether the exposure suits a
// calibration, and "ready" when a calibration would start from here. The
// camera is put back as found on every exit, Ctrl-C included.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct AimOptions {
  std::string camera = "sim";
  std::string reference;  // empty: the built-in target
  std::string scene;      // what the simulated camera shows; empty: the reference
  std::string preview;    // a PNG rewritten about once a second with the view and the outline
  long frames = 0;        // stop after this many images; 0: until Ctrl-C
};

CLI::App* addAimCommand(CLI::App& app, AimOptions& options);

// Runs until Ctrl-C (a cancellation) or options.frames images; lines go to
// out, rewritten in place when out is a terminal.
void runAim(const AimOptions& options, std::ostream& out, bool terminal);
