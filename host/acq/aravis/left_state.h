// What an earlier run left changed on a camera, put back before a new run
// changes anything: the file of what that run found (found_state_file.h)
// says what, and is removed once it is put back.
#pragma once

#include <functional>
#include <string>

#include "host/acq/aravis/feature_map.h"

class kcGenicamDevice;
class kcFoundStateFile;

// Stops the camera's acquisition: "" when done, else why not.
std::string kfStopAcquisition(kcGenicamDevice& device) noexcept;

// When the file is there, tells told (if given) so, stops the acquisition
// that run left running and puts back what it found. kcIOError naming what
// could not be put back; the file then stays.
void kfPutBackLeftState(kcGenicamDevice& device, const kcLutFeatures& lut, const kcFoundStateFile& file,
                        const std::function<void(const std::string&)>& told);
