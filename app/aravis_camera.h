// GenICam cameras on the command line: aravis[:DEVICE-ID], driven
// through Aravis (host/acq/aravis/).
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/camera.h"
#include "host/acq/aravis/camera_deployment.h"

// deviceId: an Aravis device id or a GigE Vision camera's address; empty:
// the first camera found. A camera that cannot be opened is a camera
// failure, an option it cannot take a usage failure.
OpenedCamera openAravisCamera(const std::string& deviceId, double restoreTimeout);

// Opens the camera to write a calibration into it to stay
// (kcCameraDeployment); failures as openAravisCamera's.
std::unique_ptr<kcCameraDeployment> openAravisDeployment(const std::string& deviceId);

// Reads the camera, writing nothing to it, and writes, indented, its name
// (withName) and the features colc uses on it, one line each; a camera
// that cannot be opened gets one line saying why, and false.
bool describeAravisCamera(const std::string& deviceId, bool withName, std::ostream& out);
