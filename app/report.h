// The calibration report: a folder with one self-contained HTML page,
// colc-report.html, and the images it shows beside it, all named colc-*: the reference, the
// camera's view at the start settings and the calibration's result
// records with their text drawn over them; the transfers and the search
// path are drawn in the page itself.
#pragma once

#include <string>
#include <vector>

#include "app/calibration_run.h"
#include "app/calibration_summary.h"

// The page of the report in folder.
std::string reportPage(const std::string& folder);
// Every file the report may write into folder.
std::vector<std::string> reportFiles(const std::string& folder);

// Writes the report into folder, made when missing. Needs a run made with
// its result records; a record that is missing is left out of the page.
void writeReport(const std::string& folder, const CalibrationSetup& setup, const CalibrationRun& run,
                 const kc3PlanePelBuffer& reference);
