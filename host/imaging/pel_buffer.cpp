// Windows, offsets and the three-plane image: the geometry of pel buffers.
#include <algorithm>
#include <climits>
#include <string>

#include "colc/host/imaging.h"
#include "host/imaging/cv_bridge.h"

namespace {

std::string describe(const kcPelRect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

// The part of rect inside bounds; an empty result still lies inside bounds.
kcPelRect clipTo(const kcPelRect& rect, const kcPelRect& bounds) {
  const long left = std::clamp(rect.left, bounds.left, bounds.right);
  const long top = std::clamp(rect.top, bounds.top, bounds.bottom);
  return {left, top, std::clamp(rect.right, left, bounds.right), std::clamp(rect.bottom, top, bounds.bottom)};
}

bool inside(const kcPelRect& rect, const kcPelRect& bounds) {
  return rect.left >= bounds.left && rect.top >= bounds.top && rect.right <= bounds.right &&
         rect.bottom <= bounds.bottom && rect.width() >= 0 && rect.height() >= 0;
}

cv::Mat zeroedPels(long width, long height) {
  if (width < 0 || height < 0 || width > INT_MAX || height > INT_MAX)
    throw kcBadArgument("pel buffer size out of range: " + std::to_string(width) + " x " + std::to_string(height));
  return cv::Mat::zeros(static_cast<int>(height), static_cast<int>(width), CV_8UC1);
}

}  // namespace

void kc_PelBuffer::window(const kcPelRect& rect, bool clip) {
  if (!isBound()) throw kcBadPointer("window of an unbound pel buffer");
  const kcPelRect bounds = pelBounds();
  if (clip) {
    window_ = clipTo(rect, bounds);
    return;
  }
  if (!inside(rect, bounds))
    throw kcBadArgument("window " + describe(rect) + " is not inside the pels " + describe(bounds));
  window_ = rect;
}

void kc_PelBuffer::offset(long x, long y) {
  const long dx = x - offsetX_, dy = y - offsetY_;
  offsetX_ = x;
  offsetY_ = y;
  window_ = {window_.left + dx, window_.top + dy, window_.right + dx, window_.bottom + dy};
}

kcPelBuffer<unsigned char>::kcPelBuffer(long width, long height)
    : kcPelBuffer(kfPelBufferFromMat(zeroedPels(width, height))) {}

kc3PlanePelBuffer::kc3PlanePelBuffer(const kcPelBuffer<unsigned char>& p0, const kcPelBuffer<unsigned char>& p1,
                                     const kcPelBuffer<unsigned char>& p2) {
  if (!p0.isBound() || !p1.isBound() || !p2.isBound()) return;
  const auto sameSize = [&](const kc_PelBuffer& p) { return p.width() == p0.width() && p.height() == p0.height(); };
  if (!sameSize(p1) || !sameSize(p2)) throw kcBadArgument("colour planes have windows of different sizes");
  planes_[0] = p0;
  planes_[1] = p1;
  planes_[2] = p2;
}

void kc3PlanePelBuffer::window(const kcPelRect& rect, bool clip) {
  // Work on copies so that a refusal leaves all three planes as they were.
  kcPelBuffer<unsigned char> planes[3] = {planes_[0], planes_[1], planes_[2]};
  for (auto& plane : planes) plane.window(rect, clip);
  // Clipping cuts each plane to its own pels, which may differ.
  if (!(planes[1].window() == planes[0].window()) || !(planes[2].window() == planes[0].window()))
    throw kcBadArgument("window " + describe(rect) + " clips the colour planes differently");
  for (int k = 0; k < 3; ++k) planes_[k] = planes[k];
}

void kc3PlanePelBuffer::offset(long x, long y) {
  for (auto& plane : planes_) plane.offset(x, y);
}

void kc3PlanePelBuffer::clientFromImageXform(const kcXform<2>& xform) {
  for (auto& plane : planes_) plane.clientFromImageXform(xform);
}
