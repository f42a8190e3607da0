#include "progress.h"

#include <unistd.h>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::FILE* stream, bool enabled)
    : stream_(stream), shown_(enabled && isatty(fileno(stream)) == 1) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::acquisition(const kcColorCameraSettings& settings) {
  ++acquisitions_;
  const Clock::time_point now = Clock::now();
  if (!shown_ || (drawn_ && now - lastDrawn_ < kRedrawInterval)) return;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  // "\r" returns to the start of the line and "\033[K" erases the rest of it.
  std::fprintf(stream_,
               "\r\033[Kcalibrating: %lu acquisitions, %.1f s; trying exposure %.6f, contrast %.4f, brightness %.4f",
               acquisitions_, seconds, settings.exposure(), settings.contrast(), settings.brightness());
  std::fflush(stream_);
  lastDrawn_ = now;
  drawn_ = true;
}

void ProgressLine::clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stream_);
  std::fflush(stream_);
  drawn_ = false;
}
