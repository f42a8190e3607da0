#include "app/camera_failures.h"

#include "colc/driver/acquisition.h"

CommandFailure acquisitionFailure(const kcAcquireInfo& info) {
  const kcAcqFailure failure = info.failure();
  std::string message = "acquisition " + std::to_string(info.sequence()) + " failed";
  if (!failure.isFailure()) return CommandFailure(ExitStatus::cameraFailed, message + ": the image is empty");
  if (!failure.description().empty()) message += ": " + failure.description();
  return CommandFailure(ExitStatus::cameraFailed, message);
}

kcPtrHandle<kcAcqImage> acquireImage(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings) {
  kcAcquireInfo info;
  bool failed = false;
  kcPtrHandle<kcAcqImage> image = kfAcquireImage(camera, settings, info, failed);
  if (failed) throw acquisitionFailure(info);
  return image;
}

kc3PlanePelBuffer acquire(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings) {
  return acquireImage(camera, settings)->get3PlanePelBuffer();
}
