#include "check_command.h"

#include <nlohmann/json.hpp>

#include "app/camera_check.h"
#include "app/calibration_context.h"
#include "app/check_report.h"
#include "app/exit_status.h"
#include "app/output_checks.h"
#include "app/presentation.h"
#include "app/printable_text.h"
#include "app/reference_checks.h"
#include "host/runtime/cancellation.h"
#include "interrupt.h"
#include "max_pels_option.h"
#include "named_charts.h"
#include "restore_timeout_option.h"

namespace {

void printCheckText(std::ostream& out, const std::string& camera, const CameraCheck& check) {
  const kcCalibrationContext& c = check.calibrated;
  out << "Checked the " << camera << " against its calibration of " << printableText(c.date) << " (colc "
      << printableText(c.colcVersion) << ")\n"
      << "in " << check.acquisitions << (check.acquisitions == 1 ? " acquisition" : " acquisitions");
  if (check.cameraSeconds) out << ", " << fixed(*check.cameraSeconds, 2) << " s camera time";
  out << ".\n";
  if (check.otherCamera) out << "The result belongs to " << calibratedCameraName(c) << ", another camera (--force).\n";
  out << formatted("\n%-36s %8s %8s\n", "CIEDE2000 over the flat regions", "mean", "max")
      << formatted("%-36s %8.2f %8.2f\n", "  when calibrated", c.colourErrorMean, c.colourErrorMax)
      << formatted("%-36s %8.2f %8.2f\n", "  now", check.now.mean, check.now.max) << "\n";
  const double drift = check.drift();
  switch (check.verdict) {
    case CheckVerdict::stillCalibrated:
      out << "Still calibrated: the mean error changed by " << fixed(drift, 2) << " (drifted from "
          << fixed(kNoticeableDrift, 2) << ").\n";
      break;
    case CheckVerdict::drifted:
      out << "Drifted: the mean error rose by " << fixed(drift, 2) << " (recalibrate from "
          << fixed(kRecalibrationDrift, 2) << ").\n";
      break;
    case CheckVerdict::recalibrate:
      out << "Recalibrate: the mean error rose by " << fixed(drift, 2) << ".\n";
      break;
  }
}

void printCheckJson(std::ostream& out, const std::string& camera, const CameraCheck& check) {
  const kcCalibrationContext& c = check.calibrated;
  const nlohmann::ordered_json json = {
      {"verdict", verdictName(check.verdict)},
      {"drift", check.drift()},
      {"calibrated", {{"mean", c.colourErrorMean}, {"max", c.colourErrorMax}, {"date", c.date}}},
      {"now", {{"mean", check.now.mean}, {"max", check.now.max}}},
      {"acquisitions", check.acquisitions},
      {"cameraSeconds", check.cameraSeconds ? nlohmann::ordered_json(*check.cameraSeconds) : nullptr},
      {"camera", camera},
      {"otherCamera", check.otherCamera}};
  out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace

CLI::App* addCheckCommand(CLI::App& app, CheckOptions& o) {
  CLI::App* c = app.add_subcommand(
      "check", "check whether a camera still reproduces its stored calibration, in a few images");
  c->add_option("result", o.result, "the result archive of the camera (colc calibrate --out)")->required();
  c->add_option("--camera", o.camera, "the camera: sim[:OPTIONS] or aravis[:DEVICE-ID]")
      ->type_name("CAMERA")
      ->capture_default_str();
  c->add_option("--reference", o.reference,
                "the reference image the camera was calibrated against (default: the built-in target)")
      ->type_name("FILE|chart:NAME");
  c->add_flag("--force", o.force, "check a result that belongs to another camera all the same");
  addRestoreTimeoutOption(*c, o.restoreTimeout);
  c->add_flag("--json", o.json,
              "print one JSON object: verdict, drift, calibrated and now (mean, max), acquisitions, "
              "cameraSeconds, camera, otherCamera");
  c->add_option("--report", o.report, "write a one-page HTML report with its images into this folder")
      ->type_name("DIR");
  addMaxPelsOption(*c);
  return c;
}

void runCheck(const CheckOptions& o, std::ostream& out) {
  cancelOnInterrupt();
  const StoredCalibration calibration = readResultArchive(o.result);
  // Refused before the camera is touched.
  checkableContext(calibration);
  const kc3PlanePelBuffer reference = readReference(o.reference);
  checkReference(reference, referenceName(o.reference));
  checkCalibratedReference(calibration, reference, referenceName(o.reference));
  if (!o.report.empty())
    checkReportOutputs(o.report, checkReportFiles(o.report),
                       {{"the result archive", o.result}, {"the reference image", o.reference}});
  if (kfCancelRequested()) throw kcCancelled();

  CameraCheck check;
  std::string description;
  {
    const CameraInHand inHand;
    const OpenedCamera camera = openCamera(o.camera, reference, o.restoreTimeout);
    description = camera.description;
    try {
      check = checkCamera(camera, calibration, reference, o.force);
    } catch (...) {
      closeCamera(camera, std::current_exception());
    }
    closeCamera(camera, nullptr);
  }
  if (o.json)
    printCheckJson(out, description, check);
  else
    printCheckText(out, description, check);
  if (!o.report.empty()) {
    writeCheckReport(o.report, description, check, reference);
    if (!o.json) out << "\nThe report is " << checkReportPage(o.report) << "\n";
  }
  const std::string rise = "its mean CIEDE2000 rose by " + fixed(check.drift(), 2);
  if (check.verdict == CheckVerdict::drifted)
    throw CommandFailure(ExitStatus::drifted, "the camera drifted since it was calibrated: " + rise);
  if (check.verdict == CheckVerdict::recalibrate)
    throw CommandFailure(ExitStatus::recalibrate, "the camera needs a new calibration: " + rise);
}
