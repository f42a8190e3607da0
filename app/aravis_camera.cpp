#include "app/aravis_camera.h"

#include <iostream>

#include "app/exit_status.h"
#include "host/acq/aravis/aravis_fifo.h"
#include "host/acq/aravis/camera_list.h"

namespace {

// The camera's failures as the command's: one it cannot open or set up,
// an option it cannot take.
template <class Operation>
auto asCommandFailure(Operation operation) {
  try {
    return operation();
  } catch (const kcIOError& e) {
    throw CommandFailure(ExitStatus::cameraFailed, e.text());
  } catch (const kcBadArgument& e) {
    throw CommandFailure(ExitStatus::usage, e.text());
  }
}

// A camera held by another program is waited for, and one an earlier run
// left changed is put back first; the user hears why.
void sayWaiting(const std::string& what) { std::cerr << "colc: " << what << "\n"; }

}  // namespace

OpenedCamera openAravisCamera(const std::string& deviceId, double restoreTimeout) {
  kcAravisOptions options;
  options.deviceId = deviceId;
  options.restoreTimeout = restoreTimeout;
  options.waiting = sayWaiting;
  const kcPtrHandle<kcAravisAcqFifo> fifo = asCommandFailure([&] { return kfOpenAravisCamera(options); });
  std::string description = "camera " + fifo->name() + " (" + fifo->pixelFormat() + ", " +
                            std::to_string(fifo->width()) + " x " + std::to_string(fifo->height()) + " pels";
  if (!fifo->features().blackLevel.present()) description += "; no black level: brightness does nothing";
  const kcAravisCameraIdentity& who = fifo->identity();
  const CameraIdentity identity{who.vendor, who.model,         who.serial,    who.firmware,
                                fifo->pixelFormat(), who.x, who.y, fifo->width(), fifo->height()};
  return {fifo, description + ")", identity, [fifo] { asCommandFailure([&] { fifo->close(); }); }};
}

std::unique_ptr<kcCameraDeployment> openAravisDeployment(const std::string& deviceId) {
  return asCommandFailure([&] { return std::make_unique<kcCameraDeployment>(deviceId, sayWaiting); });
}

bool describeAravisCamera(const std::string& deviceId, bool withName, std::ostream& out) {
  try {
    const kcAravisCameraDescription camera = asCommandFailure([&] { return kfDescribeAravisCamera(deviceId, sayWaiting); });
    if (withName) out << "  " << camera.name << "\n";
    for (const std::string& line : kfDescribeFeatureMap(camera.features)) out << "  " << line << "\n";
    for (const std::string& line : kfDescribeDeploymentFeatures(camera.deployment)) out << "  " << line << "\n";
    if (!camera.pixelFormat.empty())
      out << "  colc reads " << camera.pixelFormat << ", " << camera.width << " x " << camera.height << " pels\n";
    return true;
  } catch (const CommandFailure& e) {
    out << "  cannot open it: " << e.what() << "\n";
    return false;
  }
}
