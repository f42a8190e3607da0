// Resampling of a source image on the grid of an affine rectangle.
//
// Sample (i, j) lies at
//   origin + xSide * (i + 0.5) / nx + ySide * (j + 0.5) / ny
// in the source's client coordinates; through the inverse client transform
// that is an affine function of (i, j) in image coordinates. Pel (x, y)
// covers [x, x + 1) x [y, y + 1), so a sample is inside the window when
// left <= x < right and top <= y < bottom. OpenCV puts the centre of a pel
// at its integer coordinates, hence the half-pel shift towards OpenCV.
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include <opencv2/imgproc.hpp>

#include "colc/host/imaging.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/footprint_sampling.h"

namespace {

// OpenCV's affine warp steps through the source in 32-bit fixed point with
// 10 fractional bits; keeping every sample within 2^19 pels of the window
// keeps those sums far from overflowing.
constexpr double kFarthestSample = 524288.0;

// The sample positions in the source's image coordinates:
// first + xStep * i + yStep * j.
struct SampleGrid {
  kcVector<2> first, xStep, yStep;
  long nx = 0, ny = 0;

  // Each coordinate is a sum of one term growing (or falling) with i and
  // one with j, evaluated in the same order for every sample, so in floating
  // point too its extremes over the grid lie at the four corners: the
  // corners decide whether any sample leaves a rectangle.
  double x(long i, long j) const { return xStep.x() * i + yStep.x() * j + first.x(); }
  double y(long i, long j) const { return xStep.y() * i + yStep.y() * j + first.y(); }

  template <class Test>
  bool anyCorner(Test test) const {
    for (long j : {0L, ny - 1})
      for (long i : {0L, nx - 1})
        if (test(x(i, j), y(i, j))) return true;
    return false;
  }
};

bool finite(const kcVector<2>& v) { return std::isfinite(v.x()) && std::isfinite(v.y()); }

SampleGrid sampleGrid(const kcAffineSamplingParams& sampling, const kc_PelBuffer& src) {
  if (!src.isBound()) throw kcBadPointer("affine sampling of an unbound pel buffer");
  SampleGrid grid;
  grid.nx = sampling.xNumSamples();
  grid.ny = sampling.yNumSamples();
  if (grid.nx < 1 || grid.ny < 1 || grid.nx > INT_MAX || grid.ny > INT_MAX)
    throw kcBadArgument("affine sampling: " + std::to_string(grid.nx) + " x " + std::to_string(grid.ny) +
                        " samples");
  const kcXform<2> imageFromClient = src.clientFromImageXform().inverse();
  const kcAffineRectangle& rect = sampling.affineRectangle();
  const kcVector<2> xSide = imageFromClient.mapVector(rect.xSide()) * (1.0 / static_cast<double>(grid.nx));
  const kcVector<2> ySide = imageFromClient.mapVector(rect.ySide()) * (1.0 / static_cast<double>(grid.ny));
  grid.xStep = xSide;
  grid.yStep = ySide;
  grid.first = imageFromClient.mapPoint(rect.origin()) + xSide * 0.5 + ySide * 0.5;
  if (!finite(grid.first) || !finite(grid.xStep) || !finite(grid.yStep))
    throw kcBadArgument("affine sampling: the rectangle or the client transform is not finite or not invertible");
  return grid;
}

bool outside(const kcPelRect& window, double x, double y) {
  return !(x >= window.left && x < window.right && y >= window.top && y < window.bottom);
}

int cvInterpolation(kcAffineSamplingParams::Interpolation interpolation) {
  switch (interpolation) {
    case kcAffineSamplingParams::eNearestNeighbor: return cv::INTER_NEAREST;
    case kcAffineSamplingParams::eBilinear: return cv::INTER_LINEAR;
  }
  throw kcBadArgument("affine sampling: unknown interpolation " + std::to_string(static_cast<int>(interpolation)));
}

// The sampled values: every sample reads the window only, a sample outside
// it the nearest window pel (border replication). Bilinear samples spaced
// wider than a pel each stand for the area they cover
// (host/imaging/footprint_sampling.h); closer ones, and nearest-neighbour
// samples, read the source at their centres.
cv::Mat sampleValues(const kcPelBuffer_const<unsigned char>& src, const SampleGrid& grid,
                     kcAffineSamplingParams::Interpolation interpolation) {
  const kcPelRect& window = src.window();
  if (window.width() == 0 || window.height() == 0) throw kcBadArgument("affine sampling: the source window is empty");
  // Window-relative coordinates with OpenCV's pel centres.
  const double dx = window.left + 0.5, dy = window.top + 0.5;
  if (grid.anyCorner([&](double x, double y) {
        return std::abs(x - dx) > kFarthestSample || std::abs(y - dy) > kFarthestSample;
      }))
    throw kcBadArgument("affine sampling reaches too far outside the source window");
  const cv::Matx23d dstToSrc(grid.xStep.x(), grid.yStep.x(), grid.first.x() - dx,  //
                             grid.xStep.y(), grid.yStep.y(), grid.first.y() - dy);
  const cv::Size size(static_cast<int>(grid.nx), static_cast<int>(grid.ny));
  const double widest =
      std::max(std::hypot(grid.xStep.x(), grid.xStep.y()), std::hypot(grid.yStep.x(), grid.yStep.y()));
  if (interpolation == kcAffineSamplingParams::eBilinear && widest > 1.0)
    return kfFootprintSamples(kfMatView(src), dstToSrc, size);
  cv::Mat values;
  cv::warpAffine(kfMatView(src), values, dstToSrc, size, cvInterpolation(interpolation) | cv::WARP_INVERSE_MAP,
                 cv::BORDER_REPLICATE);
  return values;
}

}  // namespace

bool kcAffineSamplingParams::willClip(const kc_PelBuffer& buffer) const {
  const SampleGrid grid = sampleGrid(*this, buffer);
  return grid.anyCorner([&](double x, double y) { return outside(buffer.window(), x, y); });
}

kcPelBuffer<unsigned char> kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src,
                                                  const kcAffineSamplingParams& sampling) {
  return kfPelBufferFromMat(sampleValues(src, sampleGrid(sampling, src), sampling.interpolation()));
}

void kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src, kcPelBuffer<unsigned char>& dst,
                            const kcAffineSamplingParams& sampling) {
  dst = kfAffineTransformImage(src, sampling);
}

void kfAffineTransformImage(const kcPelBuffer_const<unsigned char>& src, kcPelBuffer<unsigned char>& dst,
                            kcPelBuffer<unsigned char>& mask, const kcAffineSamplingParams& sampling,
                            bool& clipped) {
  const SampleGrid grid = sampleGrid(sampling, src);
  const cv::Mat values = sampleValues(src, grid, sampling.interpolation());
  cv::Mat inside(values.size(), CV_8UC1);
  bool anyOutside = false;
  for (int j = 0; j < inside.rows; ++j) {
    unsigned char* row = inside.ptr<unsigned char>(j);
    for (int i = 0; i < inside.cols; ++i) {
      const bool out = outside(src.window(), grid.x(i, j), grid.y(i, j));
      row[i] = out ? 0 : 255;
      anyOutside = anyOutside || out;
    }
  }
  dst = kfPelBufferFromMat(values);
  mask = kfPelBufferFromMat(inside);
  clipped = anyOutside;
}
