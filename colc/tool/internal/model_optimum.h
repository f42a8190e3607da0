// The settings a camera response model predicts to be best: the level and
// brightness at which the predicted view scores best by the measurement's
// own order, found without acquiring anything.
#pragma once

#include "colc/records/params.h"
#include "colc/tool/internal/camera_response.h"

// The levels and brightnesses the camera can reach under the parameters.
struct kcModelBounds {
  double lowestLevel = 1.0;
  double highestLevel = 1.0;
  double lowestBrightness = 0.0;
  double highestBrightness = 0.0;
};

struct kcModelOptimum {
  double level = 1.0;
  double brightness = 0.0;
};

// How a predicted view would score, as kfIsBetterMeasurement ranks a
// measured one (lower is better): kfFitScore of its fits onto the
// reference with pel mapping, its difference sum without.
double kfPredictedScore(const kcColorCalibrationParams& params, const kc3PlanePelBuffer& reference,
                        const kc3PlanePelBuffer& view);

// A grid over the plausible levels (from a little below full scale up to
// it) within bounds, then a pattern search from its best point, at the
// brightness of a zero black level within bounds.
kcModelOptimum kfModelOptimum(const kcCameraResponse& model, const kcColorCalibrationParams& params,
                              const kc3PlanePelBuffer& reference, const kcModelBounds& bounds);
