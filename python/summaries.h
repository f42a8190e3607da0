// What the calibration and the photo fit share in Python: their colour
// error and where the target was found, as Python values.
#pragma once

#include <pybind11/pybind11.h>

#include "colc/host/target_finder.h"
#include "app/correction_stage.h"

// A finding with the size of the reference it was found for, so that
// colc.TargetMatch can give the reference's corners in the image.
struct TargetMatch {
  kcTargetMatch match;
  long width = 0, height = 0;
};

// {'start': (mean, max), 'pel_maps': ..., 'corrected': ...} in CIEDE2000.
pybind11::dict colourErrorDict(const ColourStage& colour);
