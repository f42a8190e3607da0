// The diagnostics a calibration leaves: the camera's view after the
// calibration, plain, pel-mapped and grey, each with the result as text.
#pragma once

#include "colc/host/acq.h"
#include "colc/host/diag.h"
#include "colc/records/result.h"

// Draws exposure, contrast, brightness and the input-table flag as four
// lines and attaches them, as the sketch "Color Calibration Result Text",
// to the last record of diag. Does nothing when diag is null or diagFlags is 0.
void kfSketchResultText(const kcColorCalibrationResult& result, kcDiagObject* diag, unsigned long diagFlags);

// Adds the records "Color image", "Mapped color image" and "Monochrome
// image" of an acquired image, each with the result text.
void kfRecordCalibrationImages(const kcColorCalibrationResult& result, kcPtrHandle<kcAcqImage>& image,
                               kcDiagObject* diag, unsigned long diagFlags);
