// The outputs of "colc calibrate", checked before the camera is touched.
#pragma once

#include "app/calibration_options.h"

// The result archive can be written, the report folder can be written or
// made, and neither the archive nor a report file is the reference or the
// scene.
void checkCalibrateOutputs(const CalibrateOptions& options);
