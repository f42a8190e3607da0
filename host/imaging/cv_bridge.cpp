#include "host/imaging/cv_bridge.h"

#include <climits>
#include <string>
#include <vector>

namespace {

int toInt(long value, const char* what) {
  if (value < 0 || value > INT_MAX) throw kcBadArgument(std::string(what) + " out of range: " + std::to_string(value));
  return static_cast<int>(value);
}

void requireGrey8(const cv::Mat& mat, const char* function) {
  if (mat.dims > 2 || mat.type() != CV_8UC1)
    throw kcBadArgument(std::string(function) + ": expected a 2-D 8-bit single-channel matrix");
}

}  // namespace

cv::Mat kfMatView(const kcPelBuffer_const<unsigned char>& buffer) {
  if (!buffer.isBound()) throw kcBadPointer("kfMatView: unbound pel buffer");
  const int rows = toInt(buffer.height(), "window height");
  const int cols = toInt(buffer.width(), "window width");
  if (rows == 0 || cols == 0) return cv::Mat(rows, cols, CV_8UC1);
  // OpenCV has no read-only matrix; the const_cast is what lets a view of a
  // const buffer exist at all, and callers only read through such views.
  auto* first = const_cast<unsigned char*>(buffer.pointToRow(buffer.window().top));
  return cv::Mat(rows, cols, CV_8UC1, first, static_cast<std::size_t>(buffer.rowStride()));
}

kcPelBuffer<unsigned char> kfPelBufferFromMat(const cv::Mat& mat) {
  requireGrey8(mat, "kfPelBufferFromMat");
  // Without mat.u nothing counts references to the pels: own a copy instead.
  auto owner = std::make_shared<cv::Mat>(mat.u != nullptr || mat.empty() ? mat : mat.clone());
  return kcPelBuffer<unsigned char>(owner, owner->data, owner->cols, owner->rows, static_cast<long>(owner->step[0]));
}

kcPelBuffer<unsigned char> kfPelBufferAt(const cv::Mat& mat, long x, long y, const kcXform<2>& clientFromImage) {
  kcPelBuffer<unsigned char> buffer = kfPelBufferFromMat(mat);
  buffer.offset(x, y);
  buffer.clientFromImageXform(clientFromImage);
  return buffer;
}

kc3PlanePelBuffer kf3PlanePelBufferFromMats(const cv::Mat& red, const cv::Mat& green, const cv::Mat& blue) {
  if (red.size() != green.size() || red.size() != blue.size())
    throw kcBadArgument("kf3PlanePelBufferFromMats: planes differ in size");
  return kc3PlanePelBuffer(kfPelBufferFromMat(red), kfPelBufferFromMat(green), kfPelBufferFromMat(blue));
}

kc3PlanePelBuffer kf3PlanePelBufferFromBGR(const cv::Mat& bgr) {
  if (bgr.dims > 2 || bgr.type() != CV_8UC3)
    throw kcBadArgument("kf3PlanePelBufferFromBGR: expected a 2-D 8-bit three-channel matrix");
  // One allocation, three row bands; cv::split fills the bands in place
  // because they already have the right size and type.
  cv::Mat all(3 * bgr.rows, bgr.cols, CV_8UC1);
  std::vector<cv::Mat> bands = {all.rowRange(2 * bgr.rows, 3 * bgr.rows), all.rowRange(bgr.rows, 2 * bgr.rows),
                                all.rowRange(0, bgr.rows)};
  cv::split(bgr, bands);
  return kf3PlanePelBufferFromMats(bands[2], bands[1], bands[0]);
}

cv::Mat kfBGRMat(const kc3PlanePelBuffer& image) {
  if (!image.isBound()) throw kcBadPointer("kfBGRMat: unbound colour image");
  const std::vector<cv::Mat> bgr = {kfMatView(image.plane2()), kfMatView(image.plane1()), kfMatView(image.plane0())};
  cv::Mat merged;
  cv::merge(bgr, merged);
  return merged;
}
