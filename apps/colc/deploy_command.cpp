#include "deploy_command.h"

#include <array>

#include "app/presentation.h"
#include "app/printable_text.h"
#include "host/runtime/cancellation.h"
#include "interrupt.h"
#include "number_options.h"

namespace {

// The index of where the colour went, in the order of DeployedColour.
std::size_t colourIndex(const DeploymentChoice& c) { return static_cast<std::size_t>(deployedColour(c)); }

std::string userSetText(const kcDeploymentPlan& plan) {
  return plan.userSet + (plan.makeDefault ? ", the set the camera loads at power-up" : "");
}

}  // namespace

Deployment deployFromCommandLine(const StoredCalibration& calibration, const std::string& camera,
                                 const DeploymentRequest& request, bool force, bool dryRun) {
  const CameraInHand inHand;
  Deployment deployment = deployCalibration(calibration, camera, request, force, dryRun);
  // Written: a signal from now on does not make the deployment look cancelled.
  if (!dryRun) finishDespiteSignals();
  return deployment;
}

void printDeploymentText(std::ostream& out, const Deployment& d) {
  out << (d.dryRun ? "Would write into camera " : "Wrote into camera ") << printableText(d.camera)
      << (d.dryRun ? " (--dry-run: nothing is written):\n" : ":\n");
  out << formatted("  %-36s %-22s %s\n", "feature", "found", d.dryRun ? "to write" : "written");
  for (const kcWrittenFeature& f : d.written)
    out << formatted("  %-36s %-22s %s\n", printableText(f.feature).c_str(),
                     (f.found.empty() ? std::string("-") : printableText(f.found)).c_str(),
                     printableText(f.written).c_str());
  const DeploymentChoice& c = d.choice;
  const char* colour[] = {"the colour correction in the camera's colour transformation",
                          "the pel maps in the camera's lookup tables", "nothing written"};
  out << "\nThe colour: " << colour[colourIndex(c)]
      << (c.equalsApply ? "; the camera's pels are those of colc apply.\n"
                        : "; the camera's pels are not those of colc apply.\n");
  // The unit of the offsets is a guess the camera cannot confirm: said, so
  // that a camera that takes levels is not left off by a few levels unseen.
  if (c.transformation)
    out << "The transformation's offsets are written as fractions of full scale"
        << (c.offsetFullScale == 1.0 ? std::string(" (for a camera that takes levels: --offset-full-scale 255 or 4095)")
                                     : " times " + formatted("%g", c.offsetFullScale) + " (--offset-full-scale)")
        << ".\n";
  for (const std::string& lacked : c.lacked) out << "The camera lacks " << lacked << ".\n";
  for (const std::string& leftOut : c.leftOut) out << "Left out: " << leftOut << ".\n";
  if (!c.plan.userSet.empty())
    out << (d.dryRun ? "Would save to user set " : "Saved to user set ") << userSetText(c.plan) << ".\n";
}

nlohmann::ordered_json deploymentJson(const Deployment& d) {
  nlohmann::ordered_json written = nlohmann::ordered_json::array();
  for (const kcWrittenFeature& f : d.written)
    written.push_back({{"feature", f.feature},
                       {"found", f.found.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(f.found)},
                       {"written", f.written}});
  const DeploymentChoice& c = d.choice;
  return {{"camera", d.camera},
          {"dryRun", d.dryRun},
          {"written", written},
          {"colour", std::array{"colorTransformation", "pelMaps", "none"}[colourIndex(c)]},
          {"equalsApply", c.equalsApply},
          {"lacked", c.lacked},
          {"leftOut", c.leftOut},
          {"userSet", c.plan.userSet.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(c.plan.userSet)},
          {"default", c.plan.makeDefault}};
}

void addDeploymentOptions(CLI::App& command, DeploymentRequest& request) {
  CLI::Option* save =
      command.add_option("--save-user-set", request.userSet, "save everything written to user set N (UserSetN)")
          ->type_name("N")
          ->check(CLI::Range(1, kMaxUserSet));
  command.add_flag("--default", request.makeDefault, "make that user set the one the camera loads at power-up")
      ->needs(save);
  command
      .add_option("--offset-full-scale", request.offsetFullScale,
                  "the colour transformation's offset that shifts a plane by its full scale: 1 (the default) where "
                  "the camera takes offsets as fractions, 255 or 4095 where it takes levels")
      ->type_name("X")
      ->check(finiteNumberIn(kMinOffsetFullScale, kMaxOffsetFullScale));
}

CLI::App* addDeployCommand(CLI::App& app, DeployOptions& o) {
  CLI::App* c = app.add_subcommand(
      "deploy", "write a stored calibration into a GenICam camera to stay: settings, tables or colour transformation");
  c->add_option("result", o.result, "the result archive (colc calibrate --out)")->required();
  c->add_option("--camera", o.camera, "the camera: aravis[:DEVICE-ID]")->type_name("CAMERA")->required();
  addDeploymentOptions(*c, o.request);
  c->add_flag("--force", o.force, "deploy a result that belongs to another camera all the same");
  c->add_flag("--dry-run", o.dryRun, "print what would be written, and write nothing");
  c->add_flag("--json", o.json,
              "print one JSON object: camera, dryRun, written (feature, found, written), colour, equalsApply, "
              "lacked, leftOut, userSet, default");
  return c;
}

void runDeploy(const DeployOptions& o, std::ostream& out) {
  cancelOnInterrupt();
  const StoredCalibration calibration = readResultArchive(o.result);
  if (kfCancelRequested()) throw kcCancelled();
  const Deployment deployment =
      deployFromCommandLine(calibration, o.camera, o.request, o.force, o.dryRun);
  if (o.json)
    out << deploymentJson(deployment).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  else
    printDeploymentText(out, deployment);
}
