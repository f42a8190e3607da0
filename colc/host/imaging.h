// Host imaging: 8-bit pel buffers with windows and client coordinates,
// three-plane colour images, ranges, histogram statistics, affine
// sampling, the pel operations and the small number helpers.
//
// Coordinates. Pel (x, y) of a buffer covers the unit square
// [x, x + 1) x [y, y + 1) of its image coordinates; the first pel of the
// buffer's pels sits at the buffer's offset. The window is a rectangle in
// image coordinates inside the pels. Client coordinates are image
// coordinates carried through clientFromImageXform (the identity by default).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "colc/host/exceptions.h"
#include "colc/host/geometry.h"
#include "colc/host/persist.h"

// A window: left, top, right, bottom; right and bottom exclusive.
class kcPelRect {
 public:
  kcPelRect() = default;
  kcPelRect(long l, long t, long r, long b) : left(l), top(t), right(r), bottom(b) {}
  explicit kcPelRect(const kcRectangle<long>& r) : left(r.left()), top(r.top()), right(r.right()), bottom(r.bottom()) {}
  long width() const { return right - left; }
  long height() const { return bottom - top; }
  kcRectangle<long> rectangle() const { return {left, top, right, bottom}; }
  bool operator==(const kcPelRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }

  long left = 0, top = 0, right = 0, bottom = 0;
};

// The common part of every pel buffer: a window on shared, reference-counted
// pels. Copies share the pels; each copy has a window, offset and client
// transform of its own.
class kc_PelBuffer {
 public:
  bool isBound() const { return owner_ != nullptr; }
  long width() const { return window_.width(); }
  long height() const { return window_.height(); }
  const kcPelRect& window() const { return window_; }
  // Restricts (or widens) the window. The rectangle must lie inside the
  // pels; with clip it is first cut to the pels instead. Throws kcBadPointer
  // on an unbound buffer and kcBadArgument for a rectangle outside the pels.
  void window(const kcPelRect& rect, bool clip);
  // All pels of the buffer, in image coordinates.
  kcPelRect pelBounds() const { return {offsetX_, offsetY_, offsetX_ + pelsWidth_, offsetY_ + pelsHeight_}; }
  long offsetX() const { return offsetX_; }
  long offsetY() const { return offsetY_; }
  // The first pel gets image coordinates (x, y); the window moves with the pels.
  void offset(long x, long y);
  const kcXform<2>& clientFromImageXform() const { return clientFromImage_; }
  void clientFromImageXform(const kcXform<2>& xform) { clientFromImage_ = xform; }
  // Distance in bytes between two rows.
  long rowStride() const { return stride_; }

 protected:
  kc_PelBuffer() = default;
  kc_PelBuffer(std::shared_ptr<void> owner, unsigned char* pels, long width, long height, long stride)
      : owner_(std::move(owner)), pels_(pels), stride_(stride), pelsWidth_(width), pelsHeight_(height),
        window_(0, 0, width, height) {}
  // The pel in the window's left column of image row y (y inside the window).
  unsigned char* rowAt(long y) const { return pels_ + (y - offsetY_) * stride_ + (window_.left - offsetX_); }

 private:
  std::shared_ptr<void> owner_;
  unsigned char* pels_ = nullptr;
  long stride_ = 0;
  long pelsWidth_ = 0;
  long pelsHeight_ = 0;
  long offsetX_ = 0;
  long offsetY_ = 0;
  kcPelRect window_;
  kcXform<2> clientFromImage_;
};

template <class T>
class kcPelBuffer_const;
template <class T>
class kcPelBuffer;

// A read-only 8-bit buffer. A default-constructed buffer is unbound.
template <>
class kcPelBuffer_const<unsigned char> : public kc_PelBuffer {
 public:
  kcPelBuffer_const() = default;
  // The pel in the window's left column of image row y (y inside the window).
  const unsigned char* pointToRow(long y) const { return rowAt(y); }

 protected:
  using kc_PelBuffer::kc_PelBuffer;
};

// A writable 8-bit buffer.
template <>
class kcPelBuffer<unsigned char> : public kcPelBuffer_const<unsigned char> {
 public:
  kcPelBuffer() = default;
  // New zeroed pels of the given size, offset (0, 0).
  kcPelBuffer(long width, long height);
  // A buffer over pels that owner keeps alive (for host implementations
  // that bring pels of their own).
  kcPelBuffer(std::shared_ptr<void> owner, unsigned char* pels, long width, long height, long stride)
      : kcPelBuffer_const(std::move(owner), pels, width, height, stride) {}
  unsigned char* pointToRow(long y) const { return rowAt(y); }
};

// A colour image: three 8-bit planes of equal window size, in plane order
// 0, 1, 2 (red, green, blue). Copies share the pels.
class kc3PlanePelBuffer {
 public:
  kc3PlanePelBuffer() = default;
  // Unbound when any plane is unbound; kcBadArgument when the window sizes differ.
  kc3PlanePelBuffer(const kcPelBuffer<unsigned char>& p0, const kcPelBuffer<unsigned char>& p1,
                    const kcPelBuffer<unsigned char>& p2);
  bool isBound() const { return planes_[0].isBound(); }
  long width() const { return planes_[0].width(); }
  long height() const { return planes_[0].height(); }
  const kcPelRect& window() const { return planes_[0].window(); }
  kcPelBuffer_const<unsigned char> plane0() const { return planes_[0]; }
  kcPelBuffer_const<unsigned char> plane1() const { return planes_[1]; }
  kcPelBuffer_const<unsigned char> plane2() const { return planes_[2]; }
  // Plane k (0..2), writable.
  const kcPelBuffer<unsigned char>& pelPlane(int k) const { return planes_[k]; }
  // These apply to all three planes.
  void window(const kcPelRect& rect, bool clip);
  void offset(long x, long y);
  const kcXform<2>& clientFromImageXform() const { return planes_[0].clientFromImageXform(); }
  void clientFromImageXform(const kcXform<2>& xform);

 private:
  kcPelBuffer<unsigned char> planes_[3];
};

// A closed interval of doubles, or the empty range.
class kcRange {
 public:
  kcRange() = default;  // the empty range
  kcRange(double start, double end) : start_(start), end_(end), empty_(false) {}
  static kcRange EmptyRange() { return kcRange(); }
  double start() const { return start_; }
  double end() const { return end_; }
  bool isEmpty() const { return empty_; }
  bool operator==(const kcRange& o) const {
    return empty_ == o.empty_ && (empty_ || (start_ == o.start_ && end_ == o.end_));
  }

 private:
  double start_ = 0.0;
  double end_ = 0.0;
  bool empty_ = true;
};
kcArchive& operator||(kcArchive& ar, kcRange& range);

// Statistics of a histogram of pel values (bin v counts the pels of value v).
class kcHistoStats {
 public:
  // The flag is reserved; callers pass false.
  kcHistoStats(const std::vector<unsigned long>& histogram, bool reserved);
  kcHistoStats() = default;
  double mean() const { return mean_; }
  // Standard deviation over all counted pels (divided by their number).
  double sDev() const { return sDev_; }
  // The highest value that occurs, 0 when none above 0 does.
  long histMax() const { return max_; }
  // The lowest value that occurs, 0 for an empty histogram.
  long histMin() const { return min_; }
  unsigned long count() const { return count_; }

 private:
  double mean_ = 0.0;
  double sDev_ = 0.0;
  long max_ = 0;
  long min_ = 0;
  unsigned long count_ = 0;
};

// Sampling of an affine rectangle of a source image on an xNumSamples x
// yNumSamples grid. Sample (i, j) is taken at
//   origin + xSide * (i + 0.5) / xNumSamples + ySide * (j + 0.5) / yNumSamples
// in the source's client coordinates.
class kcAffineSamplingParams {
 public:
  enum Interpolation { eNearestNeighbor = 1, eBilinear = 4 };

  kcAffineSamplingParams() = default;
  kcAffineSamplingParams(const kcAffineRectangle& rect, long xSamples, long ySamples, Interpolation interpolation)
      : rect_(rect), xSamples_(xSamples), ySamples_(ySamples), interpolation_(interpolation) {}

  const kcAffineRectangle& affineRectangle() const { return rect_; }
  double xLength() const { return rect_.xLength(); }
  double yLength() const { return rect_.yLength(); }
  long xNumSamples() const { return xSamples_; }
  long yNumSamples() const { return ySamples_; }
  void xNumSamples(long n) { xSamples_ = n; }
  void yNumSamples(long n) { ySamples_ = n; }
  Interpolation interpolation() const { return interpolation_; }

  // True when some sample would be taken outside the buffer's window
  // (always, for an empty window). kcBadPointer for an unbound buffer.
  bool willClip(const kc_PelBuffer& buffer) const;

 private:
  kcAffineRectangle rect_;
  long xSamples_ = 0;
  long ySamples_ = 0;
  Interpolation interpolation_ = eBilinear;
};

// Pel operations. Unless said otherwise they throw kcBadPointer for an
// unbound buffer and return buffers with the geometry (offset, window,
// client transform) of their first argument's window.

// An independent copy of the window's pels.
kcPelBuffer<unsigned char> kfPelCopy(const kcPelBuffer_const<unsigned char>& src);
void kfPelCopy(const kc3PlanePelBuffer& src, kc3PlanePelBuffer& dst);

// Every pel p replaced by table[p]; the table must have 256 entries.
kcPelBuffer<unsigned char> kfPelMap(const kcPelBuffer_const<unsigned char>& src,
                                    const std::vector<unsigned char>& table);
// The same into dst (which may be src itself; an unbound dst gets new pels).
void kfPelMap(const kcPelBuffer_const<unsigned char>& src, const std::vector<unsigned char>& table,
              kcPelBuffer<unsigned char>& dst);

// 256 bins, bin v counting the window's pels of value v.
void kfPelHistogram(const kcPelBuffer_const<unsigned char>& src, std::vector<unsigned long>& histogram);

// Pel-wise difference of two windows of equal size (kcBadArgument
// otherwise). Mode 2 is the absolute difference |a - b|.
kcPelBuffer<unsigned char> kfPelSub(const kcPelBuffer_const<unsigned char>& a,
                                    const kcPelBuffer_const<unsigned char>& b, int mode);

// The number of pels, the sum of |a - b| and the sum of its squares over
// two windows of equal size (kcBadArgument otherwise), exact: the moments
// of kfPelSub's mode 2 without the difference image.
struct kcPelDifferenceMoments {
  std::uint64_t count = 0;
  std::uint64_t sum = 0;
  std::uint64_t sumOfSquares = 0;
  double mean() const;
  // The standard deviation over all pels (divided by their number).
  double sDev() const;
};
kcPelDifferenceMoments kfPelAbsDifferenceMoments(const kcPelBuffer_const<unsigned char>& a,
                                                 const kcPelBuffer_const<unsigned char>& b);

// Pel-wise minimum of the pels at the same image coordinates, over the
// overlap of the two windows (an empty 0 x 0 buffer when they do not overlap).
kcPelBuffer<unsigned char> kfPelMin(const kcPelBuffer_const<unsigned char>& a,
                                    const kcPelBuffer_const<unsigned char>& b);

// True when both windows have the same size and hold the same pels.
bool kfPelEqual(const kcPelBuffer_const<unsigned char>& a, const kcPelBuffer_const<unsigned char>& b);

// Resampling through affine sampling parameters. The result has
// xNumSamples x yNumSamples pels, offset (0, 0) and the identity client
// transform. Only the source's window is read; samples outside it take
// the nearest pel of the window. eBilinear interpolates between the four
// nearest pel centres, eNearestNeighbor takes the pel holding the sample.
// The forms with dst (and mask) replace them by new buffers. Throws
// kcBadArgument for fewer than one sample along a side, a client transform
// that cannot be inverted, an empty source window, or samples more than
// 2^19 pels away from the window.
kcPelBuffer<unsigned char> kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src,
                                                  const kcAffineSamplingParams& sampling);
void kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src, kcPelBuffer<unsigned char>& dst,
                            const kcAffineSamplingParams& sampling);
// Also fills mask: non-zero where the sample lies inside the source's
// window, 0 elsewhere; clipped tells whether any sample lies outside.
void kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src, kcPelBuffer<unsigned char>& dst,
                            kcPelBuffer<unsigned char>& mask, const kcAffineSamplingParams& sampling,
                            bool& clipped);

// The nearest integer; halves round away from zero.
int iRound(float value);
// The value clamped to [low, high].
inline int kfILimit(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }
