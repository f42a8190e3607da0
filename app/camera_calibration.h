// A camera calibrated in one call, as colc calibrate does it by default,
// and images corrected by the outcome as colc apply corrects them.
#pragma once

#include "app/calibration_run.h"
#include "app/files.h"

// Calibrates the camera against the reference with colc's defaults: the
// quick search over exposure, contrast and brightness, per-plane pel maps,
// and a colour correction where it lowers the colour error on regions it
// was not fitted to. The camera is put back as it was found; to take
// calibrated images, apply run.result.setFifoProperties(camera).
// What comes back: the settings and the pel maps (run.result), the colour
// correction if one was adopted (run.colour.correction), the verdict
// (run.verdict) and the colour errors in CIEDE2000 at the start, through
// the pel maps and through the whole correction (run.colour.start,
// .pelMaps, .corrected). A calibration that did not help is returned as
// such; failures are CommandFailure (the target not found, the camera
// failed) or kcCancelled.
CalibrationRun calibrateCamera(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference);

// What colc calibrate --out stores of a run: the result and the colour
// correction, if any (writeResultArchive, readResultArchive).
StoredCalibration storedCalibration(const CalibrationRun& run);

// The image corrected as colc apply corrects it, to the same pels: through
// the stored colour correction when there is one, else through the pel maps.
kc3PlanePelBuffer applyCalibration(const StoredCalibration& calibration, const kc3PlanePelBuffer& image);
