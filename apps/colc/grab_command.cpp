#include "grab_command.h"

#include "app/camera_calibration.h"
#include "app/camera_failures.h"
#include "app/camera_image.h"
#include "app/files.h"
#include "app/output_checks.h"
#include "host/runtime/cancellation.h"
#include "interrupt.h"
#include "max_pels_option.h"
#include "named_charts.h"
#include "restore_timeout_option.h"

CLI::App* addGrabCommand(CLI::App& app, GrabOptions& o) {
  CLI::App* c = app.add_subcommand(
      "grab", "write one image from a camera: as it is set, or at a result's settings and corrected through it");
  c->add_option("output", o.output, "the image; .png, .tif, .bmp or .jpg")->required();
  c->add_option("--camera", o.camera, "the camera: sim[:OPTIONS] or aravis[:DEVICE-ID]")
      ->type_name("CAMERA")
      ->capture_default_str();
  c->add_option("--result", o.result,
                "take the image at this result's settings and correct it as colc apply does (colc calibrate --out)")
      ->type_name("FILE");
  c->add_flag("--uncorrected", o.uncorrected, "with --result: its settings only, the image left as the camera gave it")
      ->needs(c->get_option("--result"));
  c->add_option("--scene", o.scene, "what the simulated camera shows (default: the built-in target)")
      ->type_name("FILE|chart:NAME");
  addRestoreTimeoutOption(*c, o.restoreTimeout);
  addMaxPelsOption(*c);
  return c;
}

void runGrab(const GrabOptions& o, std::ostream& out) {
  cancelOnInterrupt();
  checkOutputFile(o.output, "image file");
  checkNotAnInput(o.output, {{"the result archive", o.result}, {"the scene", o.scene}});
  std::optional<StoredCalibration> calibration;
  if (!o.result.empty()) calibration = readResultArchive(o.result);
  const kc3PlanePelBuffer scene = readReference(o.scene);
  if (kfCancelRequested()) throw kcCancelled();

  kc3PlanePelBuffer image;
  std::string description;
  {
    const CameraInHand inHand;
    const OpenedCamera camera = openCamera(o.camera, scene, o.restoreTimeout);
    description = camera.description;
    try {
      asCameraFailure([&] { image = takeImage(camera, calibration ? &calibration->result : nullptr); });
    } catch (...) {
      closeCamera(camera, std::current_exception());
    }
    closeCamera(camera, nullptr);
  }
  if (calibration && !o.uncorrected) image = applyCalibration(*calibration, image);
  writeImage(o.output, image);
  out << "Wrote " << o.output << ": an image of the " << description << ", "
      << (!calibration    ? "as the camera is set"
          : o.uncorrected ? "at the result's settings, uncorrected"
                          : "at the result's settings, corrected through the result")
      << ".\n";
}
