// The cameras colc can calibrate, named on the command line as
// KIND[:OPTIONS]: "sim", the simulated camera, whose options are those of
// kfParseSimCameraOptions ("sim:width=640,seed=3"), and "aravis", a GenICam
// camera, whose option is its device id (aravis_camera.h).
#pragma once

#include <string>

#include "colc/host/acq.h"

struct OpenedCamera {
  kcPtrHandle<kcAcqFifo> fifo;
  std::string description;  // "simulated camera (1280 x 1024 pels)"
};

// scene: what a simulated camera looks at; unbound for the built-in
// target. A name or option colc does not know is a usage failure.
OpenedCamera openCamera(const std::string& name, const kc3PlanePelBuffer& scene);
