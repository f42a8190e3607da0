// Pel operations on 8-bit buffers: copy, map, difference (as an image or as
// its moments), minimum, equality.
// Each works on the windows through zero-copy OpenCV views; a result owns
// new pels and sits where its input's window sat (offset = the window's
// top-left corner, same window, same client transform).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "colc/host/imaging.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/difference_moments.h"

namespace {

using Grey = kcPelBuffer_const<unsigned char>;

void requireBound(const kc_PelBuffer& buffer, const char* function) {
  if (!buffer.isBound()) throw kcBadPointer(std::string(function) + ": unbound pel buffer");
}

void requireSameSize(const kc_PelBuffer& a, const kc_PelBuffer& b, const char* function) {
  if (a.width() != b.width() || a.height() != b.height())
    throw kcBadArgument(std::string(function) + ": windows differ in size (" + std::to_string(a.width()) + " x " +
                        std::to_string(a.height()) + " and " + std::to_string(b.width()) + " x " +
                        std::to_string(b.height()) + ")");
}

// New pels holding mat, placed where window of geometry lies.
kcPelBuffer<unsigned char> placedAt(const cv::Mat& mat, const kc_PelBuffer& geometry, const kcPelRect& window) {
  return kfPelBufferAt(mat, window.left, window.top, geometry.clientFromImageXform());
}

// Uninitialised pels of the window's size (an empty window keeps its one
// non-zero side, which OpenCV's own copies would drop).
cv::Mat pelsSizedLike(const kc_PelBuffer& buffer) {
  return cv::Mat(static_cast<int>(buffer.height()), static_cast<int>(buffer.width()), CV_8UC1);
}

cv::Mat lookUpTable(const std::vector<unsigned char>& table) {
  if (table.size() != 256)
    throw kcBadArgument("kfPelMap: the table has " + std::to_string(table.size()) + " entries, not 256");
  return cv::Mat(1, 256, CV_8UC1, const_cast<unsigned char*>(table.data()));
}

// True when the windows of a and b share memory without being the very
// same pels, so that a pel-wise operation from one into the other must not
// run in place.
bool overlapsShifted(const Grey& a, const Grey& b) {
  if (a.width() == 0 || a.height() == 0 || b.width() == 0 || b.height() == 0) return false;
  const auto address = [](const unsigned char* p) { return reinterpret_cast<std::uintptr_t>(p); };
  const std::uintptr_t aBegin = address(a.pointToRow(a.window().top));
  const std::uintptr_t bBegin = address(b.pointToRow(b.window().top));
  const std::uintptr_t aEnd = address(a.pointToRow(a.window().bottom - 1) + a.width());
  const std::uintptr_t bEnd = address(b.pointToRow(b.window().bottom - 1) + b.width());
  const bool disjoint = aEnd <= bBegin || bEnd <= aBegin;
  return !disjoint && !(aBegin == bBegin && a.rowStride() == b.rowStride());
}

}  // namespace

kcPelBuffer<unsigned char> kfPelCopy(const Grey& src) {
  requireBound(src, "kfPelCopy");
  cv::Mat copy = pelsSizedLike(src);
  if (!copy.empty()) kfMatView(src).copyTo(copy);
  return placedAt(copy, src, src.window());
}

void kfPelCopy(const kc3PlanePelBuffer& src, kc3PlanePelBuffer& dst) {
  if (!src.isBound()) throw kcBadPointer("kfPelCopy: unbound colour image");
  dst = kc3PlanePelBuffer(kfPelCopy(src.plane0()), kfPelCopy(src.plane1()), kfPelCopy(src.plane2()));
}

kcPelBuffer<unsigned char> kfPelMap(const Grey& src, const std::vector<unsigned char>& table) {
  requireBound(src, "kfPelMap");
  const cv::Mat lut = lookUpTable(table);
  cv::Mat mapped = pelsSizedLike(src);
  if (!mapped.empty()) cv::LUT(kfMatView(src), lut, mapped);
  return placedAt(mapped, src, src.window());
}

void kfPelMap(const Grey& src, const std::vector<unsigned char>& table, kcPelBuffer<unsigned char>& dst) {
  requireBound(src, "kfPelMap");
  if (!dst.isBound()) {
    dst = kfPelMap(src, table);
    return;
  }
  requireSameSize(src, dst, "kfPelMap");
  cv::Mat out = kfMatView(dst);
  if (overlapsShifted(src, dst)) {
    kfMatView(kfPelMap(src, table)).copyTo(out);
    return;
  }
  const cv::Mat lut = lookUpTable(table);
  if (!out.empty()) cv::LUT(kfMatView(src), lut, out);  // in place when dst is src
}

kcPelBuffer<unsigned char> kfPelSub(const Grey& a, const Grey& b, int mode) {
  requireBound(a, "kfPelSub");
  requireBound(b, "kfPelSub");
  requireSameSize(a, b, "kfPelSub");
  // Mode 2, the absolute difference, is the only one anybody asks for.
  if (mode != 2) throw kcBadArgument("kfPelSub: unsupported mode " + std::to_string(mode));
  cv::Mat difference = pelsSizedLike(a);
  if (!difference.empty()) cv::absdiff(kfMatView(a), kfMatView(b), difference);
  return placedAt(difference, a, a.window());
}

double kcPelDifferenceMoments::mean() const {
  return count == 0 ? 0.0 : static_cast<double>(sum) / static_cast<double>(count);
}

double kcPelDifferenceMoments::sDev() const {
  if (count == 0) return 0.0;
  // count^2 times the variance, count x sumOfSquares - sum^2, is an integer
  // of up to about 2^80: exact in 128 bits, and 0 exactly when all pels agree.
  __extension__ using Wide = unsigned __int128;
  const Wide scaled = static_cast<Wide>(count) * sumOfSquares - static_cast<Wide>(sum) * sum;
  const double n = static_cast<double>(count);
  return std::sqrt(static_cast<double>(scaled) / (n * n));
}

kcPelDifferenceMoments kfPelAbsDifferenceMoments(const Grey& a, const Grey& b) {
  requireBound(a, "kfPelAbsDifferenceMoments");
  requireBound(b, "kfPelAbsDifferenceMoments");
  requireSameSize(a, b, "kfPelAbsDifferenceMoments");
  kcPelDifferenceMoments m;
  m.count = static_cast<std::uint64_t>(a.width()) * static_cast<std::uint64_t>(a.height());
  for (long y = 0; y < a.height(); ++y)
    kfAddDifferenceMoments(a.pointToRow(a.window().top + y), b.pointToRow(b.window().top + y), a.width(), m);
  return m;
}

kcPelBuffer<unsigned char> kfPelMin(const Grey& a, const Grey& b) {
  requireBound(a, "kfPelMin");
  requireBound(b, "kfPelMin");
  const kcPelRect overlap(a.window().rectangle().intersect(b.window().rectangle(), false));
  if (overlap.width() == 0 || overlap.height() == 0)
    return placedAt(cv::Mat(0, 0, CV_8UC1), a, {overlap.left, overlap.top, overlap.left, overlap.top});
  const auto part = [&overlap](const Grey& buffer) {
    const cv::Rect roi(static_cast<int>(overlap.left - buffer.window().left),
                       static_cast<int>(overlap.top - buffer.window().top), static_cast<int>(overlap.width()),
                       static_cast<int>(overlap.height()));
    return kfMatView(buffer)(roi);
  };
  cv::Mat minimum;
  cv::min(part(a), part(b), minimum);
  return placedAt(minimum, a, overlap);
}

bool kfPelEqual(const Grey& a, const Grey& b) {
  requireBound(a, "kfPelEqual");
  requireBound(b, "kfPelEqual");
  if (a.width() != b.width() || a.height() != b.height()) return false;
  if (a.width() == 0) return true;  // rows of nothing may have no address at all
  for (long y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.pointToRow(a.window().top + y), b.pointToRow(b.window().top + y),
                    static_cast<std::size_t>(a.width())) != 0)
      return false;
  }
  return true;
}
