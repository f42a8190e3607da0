// The check's report: one page, colc-check.html, with the verdict, the
// colour error when calibrated and now, and beside it the reference, the
// camera's view now through the stored calibration and the error region
// by region, all named colc-check-*.
#pragma once

#include <string>
#include <vector>

#include "app/camera_check.h"

// The page of the check's report in folder.
std::string checkReportPage(const std::string& folder);
// Every file the check's report writes into folder.
std::vector<std::string> checkReportFiles(const std::string& folder);

// Writes the report into folder, made when missing. camera: how the camera
// was named to colc (its description).
void writeCheckReport(const std::string& folder, const std::string& camera, const CameraCheck& check,
                      const kc3PlanePelBuffer& reference);
