#include "check_command.h"

#include <nlohmann/json.hpp>

#include "app/calibration_context.h"
#include "app/camera_failures.h"
#include "named_charts.h"
#include "app/presentation.h"
#include "app/reference_checks.h"
#include "colc/balance/color_correction_fit.h"
#include "colc/driver/acquisition.h"
#include "colc/tool/target_pose.h"
#include "colc/tool/view_difference.h"
#include "host/runtime/cancellation.h"
#include "host/acq/sim/sim_camera.h"
#include "interrupt.h"
#include "number_options.h"
#include "printable_text.h"
#include "max_pels_option.h"

namespace {

// The stored context the check measures against; a result without one
// (stored by an earlier colc) has no error to compare with.
const kcCalibrationContext& storedContext(const StoredCalibration& calibration) {
  if (!calibration.context || !calibration.context->hasColourError)
    throw CommandFailure(ExitStatus::badArchive,
                         "the result holds no record of its camera and of the colour error it reached (an earlier "
                         "colc stored it): calibrate the camera again to check it later");
  return *calibration.context;
}

std::string cameraName(const kcCalibrationContext& c) {
  if (!c.photo.empty()) return "the photograph '" + printableText(c.photo) + "'";
  return printableText(c.cameraVendor + " " + c.cameraModel + " (serial number " + c.cameraSerial + ")");
}

// The image at the stored settings, through the stored correction, on the
// reference's grid: the target found in it as the quick search finds it.
ColourError errorNow(const kcPtrHandle<kcAcqFifo>& fifo, const StoredCalibration& calibration,
                     const kc3PlanePelBuffer& reference) {
  const kcColorCalibrationResult& r = calibration.result;
  const kc3PlanePelBuffer image = acquire(fifo, kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness()));
  kcCalibrationPose pose;
  try {
    pose = kfFindTargetPose(image, reference);
  } catch (const kcTargetNotFound& e) {
    throw CommandFailure(ExitStatus::targetNotFound, "at the stored settings, " + e.text());
  }
  const kcViewOnGrid grid = kfViewOnGrid(image, pose);
  return colourError(kfCorrectImage(r, calibration.correctionOrNull(), grid.view), grid.reference,
                     FlatRegions(grid.reference));
}

void printCheckText(std::ostream& out, const std::string& camera, const CameraCheck& check) {
  const kcCalibrationContext& c = check.calibrated;
  out << "Checked the " << camera << " against its calibration of " << printableText(c.date) << " (colc "
      << printableText(c.colcVersion) << ")\n"
      << "in " << check.acquisitions << (check.acquisitions == 1 ? " acquisition" : " acquisitions");
  if (check.cameraSeconds) out << ", " << fixed(*check.cameraSeconds, 2) << " s camera time";
  out << ".\n";
  if (check.otherCamera) out << "The result belongs to " << cameraName(c) << ", another camera (--force).\n";
  out << formatted("\n%-36s %8s %8s\n", "CIEDE2000 over the flat regions", "mean", "max")
      << formatted("%-36s %8.2f %8.2f\n", "  when calibrated", c.colourErrorMean, c.colourErrorMax)
      << formatted("%-36s %8.2f %8.2f\n", "  now", check.now.mean, check.now.max) << "\n";
  const double drift = check.now.mean - c.colourErrorMean;
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
      {"drift", check.now.mean - c.colourErrorMean},
      {"calibrated", {{"mean", c.colourErrorMean}, {"max", c.colourErrorMax}, {"date", c.date}}},
      {"now", {{"mean", check.now.mean}, {"max", check.now.max}}},
      {"acquisitions", check.acquisitions},
      {"cameraSeconds", check.cameraSeconds ? nlohmann::ordered_json(*check.cameraSeconds) : nullptr},
      {"camera", camera},
      {"otherCamera", check.otherCamera}};
  out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace

CameraCheck checkCamera(const OpenedCamera& camera, const StoredCalibration& calibration,
                        const kc3PlanePelBuffer& reference, bool force) {
  CameraCheck check;
  check.calibrated = storedContext(calibration);
  check.otherCamera = !check.calibrated.sameCamera(identityContext(camera.identity));
  if (check.otherCamera && !force)
    throw CommandFailure(ExitStatus::otherCamera, "the result belongs to " + cameraName(check.calibrated) +
                                                      ", not to this camera (--force checks it all the same)");
  const std::optional<kcSimCameraTime> clockAtStart = kfSimCameraTime(camera.fifo);
  asCameraFailure([&] {
    const kcFifoStateSaver saver(camera.fifo);
    kfSwitchToManualTrigger(camera.fifo);
    calibration.result.setFifoProperties(camera.fifo);
    check.now = errorNow(camera.fifo, calibration, reference);
    check.acquisitions = 1;
  });
  if (const std::optional<kcSimCameraTime> clock = kfSimCameraTime(camera.fifo); clock && clockAtStart)
    check.cameraSeconds = clock->camera - clockAtStart->camera;
  check.verdict = judgeCheck(check.calibrated.colourErrorMean, check.now.mean);
  return check;
}

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
  c->add_option("--restore-timeout", o.restoreTimeout,
                "how long to keep asking a camera that stopped answering, to put it back, in seconds")
      ->type_name("S")
      ->capture_default_str()
      ->check(finiteNumberAtLeast(0));
  c->add_flag("--json", o.json,
              "print one JSON object: verdict, drift, calibrated and now (mean, max), acquisitions, "
              "cameraSeconds, camera, otherCamera");
  addMaxPelsOption(*c);
  return c;
}

void runCheck(const CheckOptions& o, std::ostream& out) {
  cancelOnInterrupt();
  const StoredCalibration calibration = readResultArchive(o.result);
  // Refused before the camera is touched.
  const kcCalibrationContext& stored = storedContext(calibration);
  const kc3PlanePelBuffer reference = readReference(o.reference);
  checkReference(reference, referenceName(o.reference));
  if (pelsSha256(reference) != stored.referenceSha256)
    throw CommandFailure(ExitStatus::imagesRefused, referenceName(o.reference) +
                                                        " is not the reference the camera was calibrated against "
                                                        "(its pels differ)");
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
  const std::string rise = "its mean CIEDE2000 rose by " + fixed(check.now.mean - check.calibrated.colourErrorMean, 2);
  if (check.verdict == CheckVerdict::drifted)
    throw CommandFailure(ExitStatus::drifted, "the camera drifted since it was calibrated: " + rise);
  if (check.verdict == CheckVerdict::recalibrate)
    throw CommandFailure(ExitStatus::recalibrate, "the camera needs a new calibration: " + rise);
}
