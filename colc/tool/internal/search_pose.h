// Pose finding as a settings search reports it: whatever keeps the
// calibration image from being found, the caller learns one thing.
#pragma once

#include "colc/host/diag.h"
#include "colc/host/imaging.h"

// kfFindCalibrationPose, with every failure but a time-out turned into
// kcColorCalibrationDefs::BadImages("Can not find pose of the calibration
// image in the acquired Image."); a time-out leaves as a new
// kcTimeout::Expired.
void kfFindSearchPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                      kc3PlanePelBuffer& referenceImage, kcAffineSamplingParams& sampling, kcDiagObject* diag,
                      unsigned long diagFlags);
