// The colour section of the calibration report: the colour error over the
// reference's flat regions before and after, the colour correction when one
// was adopted, and a picture of the remaining error region by region.
#pragma once

#include <string>

#include "app/correction_stage.h"

// The error picture's file in the report folder.
inline constexpr const char* kColourErrorFile = "colc-colour-error.png";

// Writes kColourErrorFile into folder and returns the section's HTML.
std::string colourErrorSection(const std::string& folder, const ColourStage& colour);
