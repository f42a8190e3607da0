// Takes one frame from a GenICam camera and writes it as a PNG, for the
// command-line tests: colc_camera_frame ADDRESS OUT.png [EXPOSURE
// CONTRAST BRIGHTNESS]. Without settings the frame is the camera's own
// output as it is set up (its tables and colour transformation included);
// with them, it is taken at those settings through the identity tables,
// as a calibration takes its frames. The camera is put back as found.
#include <iostream>
#include <string>

#include "colc/driver/acquisition.h"
#include "host/acq/aravis/aravis_fifo.h"
#include "host/imaging/image_file.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 6) {
    std::cerr << "usage: colc_camera_frame ADDRESS OUT.png [EXPOSURE CONTRAST BRIGHTNESS]\n";
    return 2;
  }
  try {
    kcAravisOptions options;
    options.deviceId = argv[1];
    const kcPtrHandle<kcAravisAcqFifo> camera = kfOpenAravisCamera(options);
    const kcPtrHandle<kcAcqFifo> fifo = camera;
    kfSwitchToManualTrigger(fifo);
    kcColorCameraSettings settings = kfCurrentCameraSettings(fifo);
    if (argc == 6) {
      settings = {std::stod(argv[3]), std::stod(argv[4]), std::stod(argv[5])};
      fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
    }
    kcAcquireInfo info;
    bool failed = false;
    const kcPtrHandle<kcAcqImage> image = kfAcquireImage(fifo, settings, info, failed);
    if (failed) throw std::runtime_error("the frame failed");
    kfWriteImageFile(argv[2], image->get3PlanePelBuffer());
    camera->close();
  } catch (const std::exception& e) {
    std::cerr << "colc_camera_frame: " << e.what() << "\n";
    return 1;
  }
}
