// "colc deploy": a stored calibration written into a GenICam camera to
// stay (app/deployment.h says what goes where), optionally saved to a
// user set loaded at power-up. colc calibrate --deploy ends with the same.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "app/deployment.h"
#include "app/files.h"

struct DeployOptions {
  std::string result;
  std::string camera;
  DeploymentRequest request;  // --save-user-set, --default, --offset-full-scale
  bool force = false;  // deploy a result that belongs to another camera all the same
  bool dryRun = false;
  bool json = false;
};

// deployCalibration (app/deployment.h) with the command line's signals:
// they wait until the writes are done or put back, and once the
// deployment is written they no longer end colc as cancelled.
Deployment deployFromCommandLine(const StoredCalibration& calibration, const std::string& camera,
                                 const DeploymentRequest& request, bool force, bool dryRun);

void printDeploymentText(std::ostream& out, const Deployment& deployment);
// {"camera", "dryRun", "written": [{"feature", "found", "written"}],
// "colour" ("colorTransformation", "pelMaps" or "none"),
// "equalsApply", "lacked", "leftOut", "userSet", "default"}.
nlohmann::ordered_json deploymentJson(const Deployment& deployment);

// --save-user-set, --default and --offset-full-scale, for colc deploy and
// colc calibrate --deploy.
void addDeploymentOptions(CLI::App& command, DeploymentRequest& request);

CLI::App* addDeployCommand(CLI::App& app, DeployOptions& options);
void runDeploy(const DeployOptions& options, std::ostream& out);
