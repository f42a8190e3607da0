// The calibration report: a folder with one self-contained HTML page,
// index.html, and the images it shows beside it: the reference, the
// camera's view at the start settings and the calibration's result
// records with their text drawn over them; the transfers and the search
// path are drawn in the page itself.
#pragma once

#include <string>

#include "calibration_run.h"
#include "calibration_summary.h"

// Writes the report into folder, made when missing. Needs a run made with
// its result records; a record that is missing is left out of the page.
void writeReport(const std::string& folder, const CalibrationSetup& setup, const CalibrationRun& run,
                 const kc3PlanePelBuffer& reference);
