// The record of whom a calibration belongs to (kcCalibrationContext), as
// colc calibrate and colc fit store it.
#pragma once

#include <nlohmann/json.hpp>

#include "app/camera.h"
#include "colc/host/imaging.h"
#include "colc/records/calibration_context.h"
#include "app/colour_error.h"

// The SHA-256 of an image's pels: its red plane row by row, then its
// green, then its blue, one byte a pel; the file it came from (its format,
// its metadata) does not enter.
std::string pelsSha256(const kc3PlanePelBuffer& image);

// A context that names the camera alone, to compare with a stored one (sameCamera).
kcCalibrationContext identityContext(const CameraIdentity& camera);
// A calibration made now from the camera against the reference, by the
// search named ("quick" or "full"), whose correction leaves error.
kcCalibrationContext cameraContext(const CameraIdentity& camera, const kc3PlanePelBuffer& reference,
                                   const std::string& search, const ColourError& error);
// A calibration made now from the photograph in the file photo.
kcCalibrationContext photoContext(const std::string& photo, const kc3PlanePelBuffer& reference,
                                  const ColourError& error);

nlohmann::ordered_json contextJson(const kcCalibrationContext& context);
