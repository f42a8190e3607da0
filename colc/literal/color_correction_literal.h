// The colour correction of an image computed literally, pel by pel: decode,
// sum, clamp, encode through the sRGB curve's power and round. The
// reference that the table-driven vectors are tested and timed against.
#pragma once

#include "colc/records/color_correction.h"

// A new image: every pel of image corrected as kcColorCorrection::apply
// corrects it, with the sRGB curve computed for each pel.
kc3PlanePelBuffer kfApplyColorCorrectionLiteral(const kcColorCorrection& correction, const kc3PlanePelBuffer& image);
