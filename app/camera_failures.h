// Acquisitions as the commands make them, with the camera's failures
// turned into the command's: a failed or empty acquisition, a write the
// camera refuses, a wait that runs out.
#pragma once

#include "colc/host/acq.h"
#include "colc/host/acquire_info.h"
#include "colc/host/camera_settings.h"
#include "colc/host/exceptions.h"
#include "colc/host/runtime.h"
#include "app/exit_status.h"

CommandFailure acquisitionFailure(const kcAcquireInfo& info);

// One image at the settings; CommandFailure(cameraFailed) when it fails.
kcPtrHandle<kcAcqImage> acquireImage(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings);
kc3PlanePelBuffer acquire(const kcPtrHandle<kcAcqFifo>& camera, const kcColorCameraSettings& settings);

template <class Operation>
void asCameraFailure(Operation operation) {
  try {
    operation();
  } catch (const kcTimeout::Expired&) {
    throw CommandFailure(ExitStatus::cameraFailed, "the camera timed out");
  } catch (const kcIOError& e) {
    throw CommandFailure(ExitStatus::cameraFailed, "the camera failed: " + e.text());
  } catch (const kcBadArgument& e) {
    throw CommandFailure(ExitStatus::cameraFailed, "the camera refused a setting: " + e.text());
  }
}
