// A small, noise-free simulated camera, for tests that need a FIFO rather
// than its pictures: 64 x 48 pels showing a 96-pel chart at half size.
#pragma once

#include <string>

#include "host/acq/sim/sim_camera.h"

// options: further simulated-camera options (not width, height, scale, noise).
kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSmallSimCamera(const std::string& options = "");
