// Everything about a FIFO that a calibration promises to leave as it found
// it, read from every tap and plane.
#pragma once

#include <vector>

#include "colc/host/acq.h"

struct FifoState {
  bool enabled = false;
  const kcTriggerModel* model = nullptr;
  double exposure = 0.0;
  std::vector<double> contrast, brightness;        // per tap
  std::vector<std::vector<unsigned char>> tables;  // per plane
  bool operator==(const FifoState&) const = default;
};

FifoState kfFifoStateOf(kcAcqFifo& fifo);
