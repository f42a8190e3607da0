#include "host/acq/aravis/camera_list.h"

#include <arv.h>

#include "host/acq/aravis/genicam_device.h"

namespace {

std::string orEmpty(const char* text) { return text ? text : ""; }

}  // namespace

std::vector<kcAravisCameraEntry> kfFindAravisCameras() {
  arv_update_device_list();
  std::vector<kcAravisCameraEntry> cameras;
  for (unsigned i = 0; i < arv_get_n_devices(); ++i) {
    cameras.push_back({orEmpty(arv_get_device_id(i)), orEmpty(arv_get_device_vendor(i)),
                       orEmpty(arv_get_device_model(i)), orEmpty(arv_get_device_serial_nbr(i)),
                       orEmpty(arv_get_device_protocol(i)), orEmpty(arv_get_device_address(i))});
  }
  return cameras;
}

kcAravisCameraDescription kfDescribeAravisCamera(const std::string& deviceId,
                                                 const std::function<void(const std::string&)>& waiting) {
  kcGenicamDevice device(deviceId, waiting);
  kcAravisCameraDescription d;
  d.name = device.name();
  d.deployment = kfDeploymentFeatures(device);
  d.features = d.deployment.map;
  if (!d.features.pixelFormats.empty()) d.pixelFormat = kfDefaultPixelFormat(d.features, device.getString("PixelFormat"));
  d.width = static_cast<long>(device.getInteger("Width"));
  d.height = static_cast<long>(device.getInteger("Height"));
  return d;
}
