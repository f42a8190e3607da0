#include "cameras_command.h"

#include "app/aravis_camera.h"
#include "app/exit_status.h"
#include "host/acq/aravis/camera_list.h"

CLI::App* addCamerasCommand(CLI::App& app, CamerasOptions& o) {
  CLI::App* c = app.add_subcommand(
      "cameras", "list the GigE Vision and USB3 Vision cameras found, with the features colc uses on each");
  c->add_option("--camera", o.camera, "describe this camera alone, found by its id or address, without a discovery")
      ->type_name("aravis:DEVICE-ID");
  return c;
}

void runCameras(const CamerasOptions& o, std::ostream& out) {
  if (!o.camera.empty()) {
    const std::string prefix = "aravis:";
    if (o.camera.rfind(prefix, 0) != 0 || o.camera.size() == prefix.size())
      throw CommandFailure(ExitStatus::usage, "colc cameras --camera takes aravis:DEVICE-ID");
    const std::string id = o.camera.substr(prefix.size());
    out << "aravis:" << id << "\n";
    if (!describeAravisCamera(id, true, out)) throw CommandFailure(ExitStatus::cameraFailed, "cannot open " + o.camera);
    return;
  }
  const std::vector<kcAravisCameraEntry> cameras = kfFindAravisCameras();
  if (cameras.empty()) {
    out << "No camera found. A GigE Vision camera must be on a subnet of one of this machine's network\n"
           "interfaces; a USB3 Vision camera needs read and write access to its USB device.\n";
    return;
  }
  std::string unopened;
  for (const kcAravisCameraEntry& camera : cameras) {
    out << "aravis:" << camera.id << "\n  " << camera.vendor << " " << camera.model << ", serial " << camera.serial
        << ", " << camera.protocol << (camera.address.empty() ? "" : " at " + camera.address) << "\n";
    if (!describeAravisCamera(camera.id, false, out)) unopened += (unopened.empty() ? " aravis:" : ", aravis:") + camera.id;
  }
  if (!unopened.empty()) throw CommandFailure(ExitStatus::cameraFailed, "cannot open" + unopened);
}
