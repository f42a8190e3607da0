// The cameras colc can calibrate, named on the command line as
// KIND[:OPTIONS]: "sim", the simulated camera, whose options are those of
// kfParseSimCameraOptions ("sim:width=640,seed=3"), and "aravis", a GenICam
// camera, whose option is its device id (aravis_camera.h).
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "colc/host/acq.h"
#include "host/acq/aravis/aravis_fifo.h"

// Who a camera is and what colc reads from it, as a calibration's record
// keeps it.
struct CameraIdentity {
  std::string vendor;
  std::string model;
  std::string serial;
  std::string firmware;
  std::string pelFormat;
  long x = 0, y = 0, width = 0, height = 0;  // the region read, in pels
};

struct OpenedCamera {
  kcPtrHandle<kcAcqFifo> fifo;
  std::string description;  // "simulated camera (1280 x 1024 pels)"
  CameraIdentity identity;
  // Puts the camera back as found; a CommandFailure naming what could not
  // be. Empty for a camera that needs nothing put back.
  std::function<void()> close;
};

// scene: what a simulated camera looks at; unbound for the built-in
// target. restoreTimeout: as kcAravisOptions has it, for a GenICam
// camera. A name or option colc does not know is a usage failure.
OpenedCamera openCamera(const std::string& name, const kc3PlanePelBuffer& scene,
                        double restoreTimeout = kDefaultRestoreTimeout);

// Closes the camera (OpenedCamera::close) after a command's work, which
// ended with failure, or with none. A camera that cannot be put back is a
// camera failure; after another failure it is added to that one's message,
// which keeps its status.
void closeCamera(const OpenedCamera& camera, const std::exception_ptr& failure);
