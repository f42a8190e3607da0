// An opened camera as Python holds it (colc.Camera), until closed: closing
// gives a real camera back to other programs without waiting for the
// garbage collector.
#pragma once

#include <string>
#include <utility>

#include "app/camera.h"
#include "app/exit_status.h"

class Camera {
 public:
  explicit Camera(OpenedCamera opened) : opened_(std::move(opened)) {}
  // colc.CameraError once closed.
  const OpenedCamera& opened() const {
    if (closed()) throw CommandFailure(ExitStatus::cameraFailed, "the camera is closed");
    return opened_;
  }
  void close() { opened_.fifo = kcPtrHandle<kcAcqFifo>(); }
  bool closed() const { return opened_.fifo.get() == nullptr; }
  const std::string& description() const { return opened_.description; }

 private:
  OpenedCamera opened_;
};
