// A calibration from a still photograph of the target: the target found in
// the photo (at any quarter turn, scale and slant the finder accepts), the
// photo sampled onto the reference's grid through that pose, the per-plane
// pel maps fitted there and the colour correction chosen as colc calibrate
// chooses it. No camera settings are involved: the photo was taken already.
#pragma once

#include "colc/host/target_finder.h"
#include "colc/records/result.h"
#include "app/correction_stage.h"

struct PhotoFit {
  kcTargetMatch target;
  // The three per-plane fits; the settings stay at their defaults, as a
  // photo has none to store.
  kcColorCalibrationResult result;
  kcColorCalibrationResultInternal fits;
  // The colour error of the photo as is, through the pel maps and through
  // the correction adopted, if any.
  ColourStage colour;
  // Whether colc's choice lowers the photo's colour error (mean CIEDE2000
  // over the flat regions). A fit that does not must not be stored.
  bool helped = false;
};

// Throws kcTargetNotFound when the target is not found (or its pose scores
// too low) and CommandFailure(imagesRefused) when the fit cannot use the view.
// search bounds the scales, turns and slants the target is looked for at.
PhotoFit fitPhoto(const kc3PlanePelBuffer& photo, const kc3PlanePelBuffer& reference, bool fitColorCorrection,
                  const kcTargetSearchParams& search = {});
