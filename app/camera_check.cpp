#include "app/camera_check.h"

#include "app/calibration_context.h"
#include "app/camera_failures.h"
#include "app/camera_image.h"
#include "app/exit_status.h"
#include "app/presentation.h"
#include "app/printable_text.h"
#include "colc/balance/color_correction_fit.h"
#include "colc/tool/target_pose.h"
#include "colc/tool/view_difference.h"
#include "host/acq/sim/sim_camera.h"

namespace {

// The image at the stored settings, through the stored correction, on the
// reference's grid: the target found in it as the quick search finds it.
void measure(const kc3PlanePelBuffer& image, const StoredCalibration& calibration,
             const kc3PlanePelBuffer& reference, CameraCheck& check) {
  kcCalibrationPose pose;
  try {
    pose = kfFindTargetPose(image, reference);
  } catch (const kcTargetNotFound& e) {
    throw CommandFailure(ExitStatus::targetNotFound, "at the stored settings, " + e.text());
  }
  const kcViewOnGrid grid = kfViewOnGrid(image, pose);
  const FlatRegions regions(grid.reference);
  check.correctedView = kfCorrectImage(calibration.result, calibration.correctionOrNull(), grid.view);
  check.now = colourError(check.correctedView, grid.reference, regions);
  check.clipped = clippedRegions(grid.view, grid.reference, regions);
  check.errorPicture = colourErrorPicture(grid.reference, regions, check.now, check.clipped);
}

}  // namespace

const kcCalibrationContext& checkableContext(const StoredCalibration& calibration) {
  if (!calibration.context || !calibration.context->hasColourError)
    throw CommandFailure(ExitStatus::badArchive,
                         "the result holds no record of its camera and of the colour error it reached (an earlier "
                         "colc stored it): calibrate the camera again to check it later");
  return *calibration.context;
}

void checkCalibratedReference(const StoredCalibration& calibration, const kc3PlanePelBuffer& reference,
                              const std::string& name) {
  if (pelsSha256(reference) != checkableContext(calibration).referenceSha256)
    throw CommandFailure(ExitStatus::imagesRefused,
                         name + " is not the reference the camera was calibrated against (its pels differ)");
}

std::string calibratedCameraName(const kcCalibrationContext& c) {
  if (!c.photo.empty()) return "the photograph '" + printableText(c.photo) + "'";
  return printableText(c.cameraVendor + " " + c.cameraModel + " (serial number " + c.cameraSerial + ")");
}

CameraCheck checkCamera(const OpenedCamera& camera, const StoredCalibration& calibration,
                        const kc3PlanePelBuffer& reference, bool force) {
  CameraCheck check;
  check.calibrated = checkableContext(calibration);
  check.otherCamera = !check.calibrated.sameCamera(identityContext(camera.identity));
  if (check.otherCamera && !force)
    throw CommandFailure(ExitStatus::otherCamera, "the result belongs to " + calibratedCameraName(check.calibrated) +
                                                      ", not to this camera (--force checks it all the same)");
  const std::optional<kcSimCameraTime> clockAtStart = kfSimCameraTime(camera.fifo);
  kc3PlanePelBuffer image;
  asCameraFailure([&] { image = takeImage(camera, &calibration.result); });
  check.acquisitions = 1;
  if (const std::optional<kcSimCameraTime> clock = kfSimCameraTime(camera.fifo); clock && clockAtStart)
    check.cameraSeconds = clock->camera - clockAtStart->camera;
  measure(image, calibration, reference, check);
  check.verdict = judgeCheck(check.calibrated.colourErrorMean, check.now.mean);
  return check;
}
