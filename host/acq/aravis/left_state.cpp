#include "host/acq/aravis/left_state.h"

#include <arv.h>

#include <memory>
#include <optional>

#include "colc/host/exceptions.h"
#include "host/acq/aravis/camera_lut.h"
#include "host/acq/aravis/camera_state.h"
#include "host/acq/aravis/color_transformation.h"
#include "host/acq/aravis/found_state_file.h"
#include "host/acq/aravis/genicam_device.h"

std::string kfStopAcquisition(kcGenicamDevice& device) noexcept {
  try {
    device.checkPresent();
    GError* error = nullptr;
    arv_camera_stop_acquisition(device.camera(), &error);
    device.check(error, "AcquisitionStop");
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

void kfPutBackLeftState(kcGenicamDevice& device, const kcLutFeatures& lutFeatures, const kcFoundStateFile& file,
                        const std::function<void(const std::string&)>& told) {
  const std::optional<std::vector<std::string>> left = file.read();
  if (!left) return;
  if (told)
    told("camera " + device.name() + " was left changed by a run that did not end cleanly; putting back what that "
         "run found ('" + file.path() + "')");
  std::unique_ptr<kcCameraLut> lut;
  std::unique_ptr<kcCameraState> state;
  std::optional<kcCameraColorTransformation> transformation;  // left by a deployment
  try {
    lut = std::make_unique<kcCameraLut>(device, lutFeatures, *left);
    state = std::make_unique<kcCameraState>(device, *left);
    transformation = kcCameraColorTransformation::fromRecord(device, *left);
  } catch (const kcIOError& e) {
    throw kcIOError("camera state file '" + file.path() + "': " + e.text() +
                    "; check the camera's settings, then remove the file");
  }
  std::vector<kcRestoreFailure> failures;
  if (const std::string why = kfStopAcquisition(device); !why.empty()) failures.push_back({"AcquisitionStop", why});
  auto add = [&](const std::vector<kcRestoreFailure>& more) { failures.insert(failures.end(), more.begin(), more.end()); };
  if (transformation) add(transformation->putBack());
  add(lut->putBack());
  add(state->restore());
  if (!failures.empty())
    throw kcIOError("camera " + device.name() + " was left changed by a run that did not end cleanly, and colc " +
                    kfDescribeRestoreFailures(failures) + "; what that run found stays in '" + file.path() + "'");
  file.remove();
}
