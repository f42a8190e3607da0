#include "app/camera_image.h"

#include "app/camera_failures.h"
#include "colc/driver/acquisition.h"

kc3PlanePelBuffer takeImage(const OpenedCamera& camera, const kcColorCalibrationResult* stored) {
  const kcFifoStateSaver saver(camera.fifo);
  const kcColorCameraSettings settings =
      stored ? kcColorCameraSettings(stored->exposure(), stored->contrast(), stored->brightness())
             : kfCurrentCameraSettings(camera.fifo);
  kfSwitchToManualTrigger(camera.fifo);
  if (stored) stored->setFifoProperties(camera.fifo);
  return acquire(camera.fifo, settings);
}
