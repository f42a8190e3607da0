// Where the quick search's model of the camera learns from. A camera opens
// with the settings its last user left, which may be far from any the
// model can learn from: most of the target clipped at full scale, or its
// light a few steps above black, where its slopes drown in the pels'
// rounding. Then the base moves, before any probe, to settings the view
// at the old base points to.
#pragma once

#include <optional>

#include "colc/host/camera_settings.h"
#include "colc/host/imaging.h"
#include "colc/records/params.h"
#include "colc/tool/internal/camera_response.h"

// The black level per unit brightness, in full scale, while the probes
// have not taught it.
constexpr double kUnmodelledBlackSlope = 0.08;

// Settings for a better base than base, as far as view (the view at base on
// the reference's grid) and model (learnt from it; unset when it could not
// be) show; nothing when the model can learn from base as it is.
std::optional<kcColorCameraSettings> kfBetterQuickBase(const kcColorCalibrationParams& params,
                                                       const kcColorCameraSettings& base,
                                                       const std::optional<kcCameraResponse>& model,
                                                       const kc3PlanePelBuffer& view);
