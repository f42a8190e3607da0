#include "app/camera.h"

#include "app/aravis_camera.h"

#include "app/exit_status.h"
#include "host/acq/sim/sim_camera.h"

OpenedCamera openCamera(const std::string& name, const kc3PlanePelBuffer& scene, double restoreTimeout) {
  const std::string kind = name.substr(0, name.find(':'));
  const std::string options = kind.size() < name.size() ? name.substr(kind.size() + 1) : "";
  if (kind == "aravis") return openAravisCamera(options, restoreTimeout);
  if (kind != "sim")
    throw CommandFailure(ExitStatus::usage,
                         "unknown camera '" + kind + "': the camera is sim[:OPTIONS] or aravis[:DEVICE-ID]");
  try {
    kcSimCameraConfig config = kfParseSimCameraOptions(options);
    config.target = scene;
    OpenedCamera camera{kfOpenSimCamera(config), "", {}, nullptr};
    camera.description =
        "simulated camera (" + std::to_string(config.width) + " x " + std::to_string(config.height) + " pels)";
    // Each seed stands for another unit of the same model: its serial number.
    camera.identity = {"colc", "simulated camera", std::to_string(config.seed), COLC_VERSION, "RGB8",
                       0, 0, config.width, config.height};
    return camera;
  } catch (const kcBadArgument& e) {
    throw CommandFailure(ExitStatus::usage, e.text());
  }
}

void closeCamera(const OpenedCamera& camera, const std::exception_ptr& failure) {
  std::string notRestored;
  try {
    if (camera.close) camera.close();
  } catch (const std::exception& e) {
    notRestored = e.what();
  }
  if (notRestored.empty()) {
    if (failure) std::rethrow_exception(failure);
    return;
  }
  if (!failure) throw CommandFailure(ExitStatus::cameraFailed, notRestored);
  const FailureReport first = reportFailure(failure);
  // A cancellation's own message says the camera is as found.
  const bool cancelled = first.status == ExitStatus::cancelled;
  throw CommandFailure(first.status, (cancelled ? std::string("cancelled") : first.message) + "; " + notRestored);
}
