// A calibration's progress on standard error: one line, rewritten in place
// at most ten times a second, showing the acquisitions made, the time
// taken and the settings being tried. Only on a terminal: a log or a pipe
// gets nothing.
#pragma once

#include <chrono>
#include <cstdio>

#include "colc/host/camera_settings.h"

class ProgressLine {
 public:
  // Shows nothing unless enabled and the stream is a terminal.
  ProgressLine(std::FILE* stream, bool enabled);
  // Clears the line.
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // One more acquisition, made with the settings.
  void acquisition(const kcColorCameraSettings& settings);
  void clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::FILE* stream_;
  bool shown_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDrawn_{};
  unsigned long acquisitions_ = 0;
  bool drawn_ = false;
};
