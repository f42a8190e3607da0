#include "aravis_camera.h"

#include "exit_status.h"
#include "host/acq/aravis/aravis_fifo.h"

namespace {

kcPtrHandle<kcAravisAcqFifo> open(const std::string& deviceId) {
  kcAravisOptions options;
  options.deviceId = deviceId;
  try {
    return kfOpenAravisCamera(options);
  } catch (const kcIOError& e) {
    throw CommandFailure(ExitStatus::cameraFailed, e.text());
  } catch (const kcBadArgument& e) {
    throw CommandFailure(ExitStatus::usage, e.text());
  }
}

}  // namespace

OpenedCamera openAravisCamera(const std::string& deviceId) {
  const kcPtrHandle<kcAravisAcqFifo> fifo = open(deviceId);
  std::string description = "camera " + fifo->name() + " (" + fifo->pixelFormat() + ", " +
                            std::to_string(fifo->width()) + " x " + std::to_string(fifo->height()) + " pels";
  if (!fifo->features().blackLevel.present()) description += "; no black level: brightness does nothing";
  return {fifo, description + ")"};
}

void describeAravisCamera(const std::string& deviceId, bool withName, std::ostream& out) {
  try {
    const kcPtrHandle<kcAravisAcqFifo> fifo = open(deviceId);
    if (withName) out << "  " << fifo->name() << "\n";
    for (const std::string& line : kfDescribeFeatureMap(fifo->features())) out << "  " << line << "\n";
    out << "  colc reads " << fifo->pixelFormat() << ", " << fifo->width() << " x " << fifo->height() << " pels\n";
  } catch (const CommandFailure& e) {
    out << "  cannot open it: " << e.what() << "\n";
  }
}
