// colc deploy: a stored calibration written into a GenICam camera to stay,
// so that every program reading the camera sees calibrated colour.
//
// What goes where:
// - exposure, contrast and brightness into the camera's own features, in
//   its units and on its increments (feature_map.h maps them, as for a
//   calibration);
// - a colour correction into the camera's colour transformation where the
//   camera can express it: the transformation works on the levels before
//   the lookup tables, so it reproduces colc apply's correction only when
//   that correction works on encoded levels, with every gain and offset
//   (offsets scaled by DeploymentRequest::offsetFullScale) within the transformation's
//   bounds, and the transformation was off when the camera was calibrated
//   (it is off as found: a transformation that is on was part of what the
//   calibration saw). The lookup tables are then switched off;
// - otherwise the pel maps into the lookup tables, plane by plane, switched
//   on, and the correction is left out: the camera then gives the pel
//   maps' pels, not colc apply's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/deployment_request.h"
#include "app/files.h"
#include "host/acq/aravis/camera_deployment.h"


// What a result becomes on a camera.
struct DeploymentChoice {
  kcDeploymentPlan plan;
  bool transformation = false;      // the colour correction goes into the colour transformation
  double offsetFullScale = 1.0;     // and its offsets scaled by this (DeploymentRequest)
  bool equalsApply = false;         // the camera then gives colc apply's pels
  std::vector<std::string> lacked;  // what the camera lacks, one sentence each
  std::vector<std::string> leftOut; // what of the result is not written, and why
};

// Where the result's colour goes: the colour correction into the colour
// transformation, the pel maps into the lookup tables, or neither.
enum class DeployedColour { transformation, pelMaps, none };
DeployedColour deployedColour(const DeploymentChoice& choice);

DeploymentChoice chooseDeployment(const StoredCalibration& calibration, const kcDeploymentFeatures& features,
                                  const DeploymentRequest& request);

// A GenICam camera opened to deploy to: "aravis[:DEVICE-ID]". Another
// kind of camera is a usage failure, one that cannot be opened a camera
// failure.
std::unique_ptr<kcCameraDeployment> openDeploymentCamera(const std::string& name);
// Who the opened camera is, as a calibration's record names it.
CameraIdentity deploymentIdentity(const kcCameraDeployment& camera);

struct Deployment {
  std::string camera;  // "Aravis Fake (COLC-TEST)"
  bool dryRun = false;
  DeploymentChoice choice;
  std::vector<kcWrittenFeature> written;  // or, in a dry run, planned
};

// Writes the choice into the camera, or in a dry run lists what it would
// write. A refused write is a camera failure whose message names it; the
// camera is then as found.
Deployment deploy(kcCameraDeployment& camera, const DeploymentChoice& choice, bool dryRun);

// The whole deployment of a stored calibration: opens the camera
// ("aravis[:DEVICE-ID]"), refuses a result from another camera (status
// otherCamera) unless force, chooses what goes where and writes it, or in
// a dry run lists what it would write. A cancellation of the calling
// thread before the user set is saved puts everything back (kcCancelled).
Deployment deployCalibration(const StoredCalibration& calibration, const std::string& camera,
                             const DeploymentRequest& request, bool force, bool dryRun);
