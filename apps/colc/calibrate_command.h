// "colc calibrate": calibrates a camera against a reference image and
// prints what it achieved; optionally stores the result and writes a report.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "app/calibration_options.h"

CLI::App* addCalibrateCommand(CLI::App& app, CalibrateOptions& options);

// Progress goes to standard error, on a terminal only; Ctrl-C cancels.
void runCalibrate(const CalibrateOptions& options, std::ostream& out);
