// One image from an opened camera, as colc takes its images: by the manual
// trigger, with the camera put back as found afterwards.
#pragma once

#include "app/camera.h"
#include "colc/records/result.h"

// At the result's stored settings and input table (setFifoProperties), or,
// without a result, at the settings the camera holds. A failed acquisition
// is CommandFailure (cameraFailed); the camera's own exceptions (a timeout,
// a refused setting) pass through, for asCameraFailure where a command
// wants them as its own.
kc3PlanePelBuffer takeImage(const OpenedCamera& camera, const kcColorCalibrationResult* stored);
