#include "calibrate_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/calibrate_outputs.h"
#include "app/calibration_context.h"
#include "app/calibration_run.h"
#include "app/calibration_summary.h"
#include "app/camera.h"
#include "app/exit_status.h"
#include "app/files.h"
#include "host/runtime/cancellation.h"
#include "max_pels_option.h"
#include "interrupt.h"
#include "named_charts.h"
#include "number_options.h"
#include "restore_timeout_option.h"
#include "progress.h"
#include "app/reference_checks.h"
#include "app/presentation.h"
#include "app/report.h"
#include "app/target_outline.h"
#include "deploy_command.h"

namespace {

// The failure with the camera's view written to path, the best candidate
// outlined, and the message saying where it is (or why it is not).
CommandFailure shownToTheUser(const TargetNotFoundFailure& failure, const std::string& path,
                              const kc3PlanePelBuffer& reference) {
  std::string where;
  try {
    if (!std::filesystem::path(path).parent_path().empty()) makeFolder(std::filesystem::path(path).parent_path());
    writeImage(path, outlinedView(failure.view(), failure.candidate(), reference.width(), reference.height()));
    where = "; the camera's view" +
            std::string(failure.candidate().finding == keTargetFinding::eNotFound ? "" : ", the best candidate outlined,") +
            " is in " + path;
  } catch (const std::exception& e) {
    where = "; the camera's view could not be written: " + std::string(e.what());
  }
  return CommandFailure(failure.status(), failure.what() + where);
}

// One line: the reasons, and what became of --out.
std::string didNotHelpMessage(const CalibrationVerdict& verdict, const std::string& out) {
  std::string message = "the calibration did not help: ";
  for (std::size_t i = 0; i < verdict.reasons.size(); ++i) message += (i > 0 ? "; " : "") + verdict.reasons[i];
  if (!out.empty())
    message += std::filesystem::exists(out) ? "; the result was not written, and '" + out + "' is left as it was"
                                            : "; the result was not written to '" + out + "'";
  return message;
}

}  // namespace

CLI::App* addCalibrateCommand(CLI::App& app, CalibrateOptions& o) {
  CLI::App* c = app.add_subcommand("calibrate", "calibrate a camera against a reference image of the target");
  c->add_option("--camera", o.camera,
                "the camera: sim[:OPTIONS], the simulated camera (options: docs/simulated-camera.md), or "
                "aravis[:DEVICE-ID], a GigE Vision or USB3 Vision camera (colc cameras lists them)")
      ->type_name("KIND[:OPTIONS]")
      ->capture_default_str();
  c->add_option("--reference", o.reference,
                "the reference colour image, or a chart colc draws: chart:colc (the default, the built-in target) "
                "or chart:24-patch (the common 24-patch chart)")
      ->type_name("FILE|chart:NAME");
  c->add_option("--scene", o.scene, "what the simulated camera shows (default: the reference)")->type_name("FILE");
  c->add_flag("--no-exposure", o.noExposure, "keep the exposure as found");
  c->add_flag("--no-contrast", o.noContrast, "keep the contrast as found");
  c->add_flag("--no-brightness", o.noBrightness, "keep the brightness as found");
  c->add_option("--exposure-range", o.exposureRange, "the exposures the search may use, in seconds (default 1e-6:0.3)")
      ->type_name("MIN:MAX")
      ->check(CLI::Validator(exposureRangeProblem, ""));
  c->add_option("--min-exposure-step", o.minExposureStep, "the smallest exposure step, in seconds (default 0: none)")
      ->type_name("S")
      ->check(finiteNumberAtLeast(0));
  c->add_flag("--no-positive-lut", o.noPositiveLut,
              "keep the camera's input table instead of loading the positive one");
  c->add_flag("--no-pel-mapping", o.noPelMapping, "judge settings by the difference alone, without per-channel fits");
  c->add_flag("--no-color-correction", o.noColorCorrection,
              "keep to the per-plane pel maps: fit no colour correction across the planes (--no-pel-mapping "
              "fits neither)");
  CLI::Option* full =
      c->add_flag("--full-search", o.fullSearch,
                  "the full search instead of the quick one: neighbours of the best settings tried in cycles, two "
                  "images each, about twenty times the acquisitions; it may clip dark regions");
  // Scripts written when the full search was the default ask for the quick one by name.
  c->add_flag("--quick")
      ->description("the quick search, the default: a model of the camera's response fitted from a few images, "
                    "then a local search (tens of acquisitions)")
      ->excludes(full);
  addRestoreTimeoutOption(*c, o.restoreTimeout);
  c->add_option("--out", o.out,
                "store the result in this archive file (for colc apply and colc show); not written when the "
                "calibration did not help")
      ->type_name("FILE");
  c->add_option("--report", o.report, "write an HTML report with its images into this folder")->type_name("DIR");
  c->add_option("--save-view", o.saveView,
                "when the target is not found, write the camera's view with the best candidate outlined here "
                "(default: view.png in the report folder, else colc-view.png)")
      ->type_name("FILE");
  CLI::Option* deploy = c->add_flag(
      "--deploy", o.deploy, "when the calibration helped, write it into the camera to stay, as colc deploy does");
  addDeploymentOptions(*c, o.deployRequest);
  c->get_option("--save-user-set")->needs(deploy);
  c->get_option("--offset-full-scale")->needs(deploy);
  c->add_flag("--json", o.json, "print the summary as one JSON object");
  c->add_flag("--quiet", o.quiet, "print neither progress nor the text summary");
  addMaxPelsOption(*c);
  return c;
}

void runCalibrate(const CalibrateOptions& o, std::ostream& out) {
  // Before the camera is opened: opening it already changes some of its
  // features, which a signal's default action would leave changed.
  cancelOnInterrupt();
  const kcColorCalibrationParams params = paramsOf(o);
  checkCalibrateOutputs(o);
  if (o.deploy && o.camera.substr(0, o.camera.find(':')) != "aravis")
    throw CommandFailure(ExitStatus::usage, "--deploy writes into GenICam cameras: the camera is aravis[:DEVICE-ID]");
  const kc3PlanePelBuffer reference = readReference(o.reference);
  const kc3PlanePelBuffer scene = !o.scene.empty() ? readColorImage(o.scene) : reference;
  checkReference(reference, referenceName(o.reference));
  if (kfCancelRequested()) throw kcCancelled();  // the camera is not touched yet

  CalibrationSetup setup{"", referenceName(o.reference) + " (" + sizeText(reference) + ")"};
  CalibrationRun run;
  CameraIdentity identity;
  {
    const CameraInHand inHand;
    const OpenedCamera camera = openCamera(o.camera, scene, o.restoreTimeout);
    setup.camera = camera.description;
    identity = camera.identity;
    try {
      ProgressLine progress(stderr, !o.quiet);
      run = runCalibration(camera.fifo, reference, params, !o.report.empty(),
                           [&](const kcColorCameraSettings& settings) { progress.acquisition(settings); }, 
                           o.fullSearch ? CalibrationSearch::full : CalibrationSearch::quick,
                           !o.noColorCorrection && !o.noPelMapping);
    } catch (const TargetNotFoundFailure& failure) {
      closeCamera(camera, std::make_exception_ptr(shownToTheUser(failure, notFoundViewPath(o), reference)));
    } catch (...) {
      closeCamera(camera, std::current_exception());
    }
    closeCamera(camera, nullptr);
  }
  // A signal after the search's last check still stops the run: nothing is stored.
  if (kfCancelRequested()) throw kcCancelled();
  // A result that did not help is not stored: a file that exists would be
  // taken for a usable calibration.
  const bool store = run.verdict.helped && !o.out.empty();
  const StoredCalibration calibration{run.result, run.colour.correction,
                                      cameraContext(identity, reference, searchName(run.search), run.colour.corrected)};
  if (store) writeResultArchive(o.out, calibration);
  if (!o.report.empty()) writeReport(o.report, setup, run, reference);
  // Only a calibration that helped goes into the camera.
  std::optional<Deployment> deployment;
  if (o.deploy && run.verdict.helped)
    deployment = deployFromCommandLine(calibration, o.camera, o.deployRequest, false, false);

  if (o.json) {
    printSummaryJson(out, run, deployment ? deploymentJson(*deployment) : nlohmann::ordered_json());
  } else if (!o.quiet) {
    printSummaryText(out, setup, run);
    if (store) out << "\nThe result is stored in " << o.out << "\n";
    if (!o.report.empty()) out << (store ? "" : "\n") << "The report is " << reportPage(o.report) << "\n";
    if (deployment) {
      out << "\n";
      printDeploymentText(out, *deployment);
    }
  }
  if (!run.verdict.helped) throw CommandFailure(ExitStatus::didNotHelp, didNotHelpMessage(run.verdict, o.out));
}
