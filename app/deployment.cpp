#include "app/deployment.h"

#include <algorithm>

#include "app/aravis_camera.h"
#include "app/calibration_context.h"
#include "app/camera_check.h"
#include "app/exit_status.h"
#include "app/printable_text.h"
#include "colc/host/exceptions.h"

namespace {

// The pel map of each plane; an empty map is the identity.
kcLutTables pelMapTables(const kcColorCalibrationResult& result) {
  kcLutTables tables;
  tables.fill(kfIdentityLutTable());
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<unsigned char>& map = result.channelResults()[k].pelmap();
    if (!map.empty()) std::copy_n(map.begin(), 256, tables[k].begin());
  }
  return tables;
}

// The correction as the transformation's values, or why the camera cannot express it.
std::string inexpressible(const kcColorCorrection& correction, const kcColorTransformationFeatures& t,
                          double offsetFullScale) {
  if (correction.domain() != kcColorCorrection::Domain::encoded)
    return "it works in linear light, and the camera's colour transformation works on encoded levels";
  if (t.on)
    return "the camera's colour transformation was on, so the calibration measured through it; switch it off and "
           "calibrate again to deploy the correction";
  for (const auto& row : correction.coefficients()) {
    for (std::size_t j = 0; j < row.size(); ++j) {
      const double value = j == 3 ? row[j] * offsetFullScale : row[j];
      if (value < t.min || value > t.max)
        return std::string(j == 3 ? "its offset " : "its coefficient ") + std::to_string(value) +
               " is beyond the colour transformation's bounds (" + std::to_string(t.min) + " .. " +
               std::to_string(t.max) + ")";
    }
  }
  return "";
}

kcColorTransformationValues transformationValues(const kcColorCorrection& correction, double offsetFullScale) {
  kcColorTransformationValues values{};
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t j = 0; j < 3; ++j) values[3 * k + j] = correction.coefficients()[k][j];
    values[9 + k] = correction.coefficients()[k][3] * offsetFullScale;
  }
  return values;
}

bool canHold(const kcLutFeatures& lut, const kcLutTables& tables) {
  return lut.present && (lut.perPlane() || (tables[0] == tables[1] && tables[1] == tables[2]));
}

}  // namespace

DeploymentChoice chooseDeployment(const StoredCalibration& calibration, const kcDeploymentFeatures& features,
                                  const DeploymentRequest& request) {
  const kcColorCalibrationResult& r = calibration.result;
  DeploymentChoice choice;
  kcDeploymentPlan& plan = choice.plan;
  plan.exposure = r.exposure();
  plan.contrast = r.contrast();
  plan.brightness = r.brightness();
  if (request.userSet > 0) plan.userSet = "UserSet" + std::to_string(request.userSet);
  plan.makeDefault = request.makeDefault;
  const kcCameraFeatureMap& map = features.map;
  if (!map.exposure.present()) choice.lacked.push_back("an exposure time feature: the exposure is not written");
  if (!map.gain.present()) choice.lacked.push_back("a gain feature: the contrast is not written");
  if (!map.blackLevel.present()) choice.lacked.push_back("a black level feature: the brightness is not written");

  bool equalsApply = map.exposure.present() && map.gain.present() && map.blackLevel.present();
  const kcLutTables maps = pelMapTables(r);
  const kcLutTables off = {kfIdentityLutTable(), kfIdentityLutTable(), kfIdentityLutTable()};
  if (!r.positive8BitLut()) {
    choice.leftOut.push_back(std::string("the pel maps") + (calibration.correction ? " and the colour correction" : "") +
                             ": the calibration measured through the camera's own lookup tables "
                             "(--no-positive-lut), which they would replace");
    equalsApply = false;
  } else if (calibration.correction) {
    const std::string why = features.transformation.present
                                ? inexpressible(*calibration.correction, features.transformation, request.offsetFullScale)
                                : "the camera has no colour transformation";
    if (why.empty()) {
      plan.transformation = transformationValues(*calibration.correction, request.offsetFullScale);
      choice.transformation = true;
      choice.offsetFullScale = request.offsetFullScale;
      if (map.lut.present) plan.tables = off;
    } else {
      choice.leftOut.push_back("the colour correction: " + why + "; the pel maps go into the lookup tables instead, "
                               "and the camera's pels are theirs, not colc apply's");
      equalsApply = false;
    }
  }
  if (r.positive8BitLut() && !choice.transformation) {
    if (canHold(map.lut, maps))
      plan.tables = maps;
    else if (maps != off) {
      choice.lacked.push_back(map.lut.present ? "a lookup table per plane: the pel maps are not written"
                                              : "8-bit lookup tables: the pel maps are not written");
      equalsApply = false;
    }
  }
  choice.equalsApply = equalsApply;
  return choice;
}

DeployedColour deployedColour(const DeploymentChoice& c) {
  if (c.transformation) return DeployedColour::transformation;
  return c.plan.tables ? DeployedColour::pelMaps : DeployedColour::none;
}

std::unique_ptr<kcCameraDeployment> openDeploymentCamera(const std::string& name) {
  const std::string kind = name.substr(0, name.find(':'));
  if (kind != "aravis")
    throw CommandFailure(ExitStatus::usage, "colc deploy writes into GenICam cameras: the camera is aravis[:DEVICE-ID]");
  return openAravisDeployment(kind.size() < name.size() ? name.substr(kind.size() + 1) : "");
}

CameraIdentity deploymentIdentity(const kcCameraDeployment& camera) {
  const kcAravisCameraIdentity& who = camera.identity();
  return {who.vendor, who.model, who.serial, who.firmware, camera.pixelFormat(), who.x, who.y,
          camera.width(), camera.height()};
}

Deployment deploy(kcCameraDeployment& camera, const DeploymentChoice& choice, bool dryRun) {
  Deployment deployment{camera.name(), dryRun, choice, {}};
  try {
    deployment.written = dryRun ? camera.dryRun(choice.plan) : camera.write(choice.plan);
  } catch (const kcBadArgument& e) {
    throw CommandFailure(ExitStatus::usage, e.text());
  } catch (const kcIOError& e) {
    throw CommandFailure(ExitStatus::cameraFailed, "the deployment failed: " + e.text());
  }
  return deployment;
}

namespace {

// Whom the result belongs to, when not to this camera; empty when it does.
std::string otherOwner(const StoredCalibration& calibration, const CameraIdentity& camera) {
  if (!calibration.context) return "no camera it names (an earlier colc stored it)";
  if (calibration.context->sameCamera(identityContext(camera))) return "";
  return calibratedCameraName(*calibration.context);
}

}  // namespace

Deployment deployCalibration(const StoredCalibration& calibration, const std::string& camera,
                             const DeploymentRequest& request, bool force, bool dryRun) {
  const std::unique_ptr<kcCameraDeployment> opened = openDeploymentCamera(camera);
  if (const std::string owner = otherOwner(calibration, deploymentIdentity(*opened)); !owner.empty() && !force)
    throw CommandFailure(ExitStatus::otherCamera, "the result belongs to " + owner + ", not to camera " +
                                                      printableText(opened->name()) +
                                                      " (--force deploys it all the same)");
  return deploy(*opened, chooseDeployment(calibration, opened->features(), request), dryRun);
}
