// The calibration's numbers drawn as text onto a diagnostics record.
#pragma once

#include "colc/host/diag.h"
#include "colc/records/result.h"

// Draws exposure, contrast, brightness and the input-table flag as four
// lines and attaches them, as the sketch "Color Calibration Result Text",
// to the last record of diag. Does nothing when diag is null or diagFlags is 0.
void kfSketchResultText(const kcColorCalibrationResult& result, kcDiagObject* diag, unsigned long diagFlags);
