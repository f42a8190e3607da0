#include "host/imaging/perspective_sampling.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string>

#include <opencv2/imgproc.hpp>

#include "colc/host/perspective.h"
#include "host/imaging/plane_pose.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/footprint_sampling.h"

namespace {

// Samples kept within 2^19 pels of the window, as affine sampling keeps them.
constexpr double kFarthestSample = 524288.0;

// A part of the grid: samples [i0, i1) x [j0, j1).
struct Tile {
  int i0, j0, i1, j1;
};

cv::Point2d mapped(const cv::Matx33d& h, double i, double j) { return kfMapped(h, {i, j}); }

// The tile's affine approximation, sample (i0 + i, j0 + j) -> source, and
// how far it is off at the tile's corners, edge midpoints and centre (where
// a homography's departure from its best affine fit peaks). An affine
// homography is taken as it is, so that one tile covering the grid samples
// it as affine sampling does.
cv::Matx23d tileAffine(const cv::Matx33d& h, const Tile& t, double& error) {
  error = 0.0;
  if (h(2, 0) == 0.0 && h(2, 1) == 0.0) {
    const double w = h(2, 2);
    const cv::Matx23d a(h(0, 0) / w, h(0, 1) / w, h(0, 2) / w, h(1, 0) / w, h(1, 1) / w, h(1, 2) / w);
    return {a(0, 0), a(0, 1), a(0, 0) * t.i0 + a(0, 1) * t.j0 + a(0, 2),
            a(1, 0), a(1, 1), a(1, 0) * t.i0 + a(1, 1) * t.j0 + a(1, 2)};
  }
  // Least squares over the 3 x 3 points, in tile-local indices; on such a
  // symmetric grid the fit separates into means and slopes.
  const double li = t.i1 - 1 - t.i0, lj = t.j1 - 1 - t.j0;
  const std::array<double, 3> us{0.0, 0.5 * li, li}, vs{0.0, 0.5 * lj, lj};
  std::array<std::array<cv::Point2d, 3>, 3> p;
  cv::Point2d mean(0.0, 0.0), slopeU(0.0, 0.0), slopeV(0.0, 0.0);
  for (int b = 0; b < 3; ++b)
    for (int a = 0; a < 3; ++a) {
      p[b][a] = mapped(h, t.i0 + us[a], t.j0 + vs[b]);
      mean += p[b][a] * (1.0 / 9.0);
      slopeU += p[b][a] * ((a - 1) / 6.0);
      slopeV += p[b][a] * ((b - 1) / 6.0);
    }
  const cv::Point2d du = li > 0.0 ? slopeU * (2.0 / li) : cv::Point2d(), dv = lj > 0.0 ? slopeV * (2.0 / lj) : cv::Point2d();
  const cv::Point2d origin = mean - du * (0.5 * li) - dv * (0.5 * lj);
  for (int b = 0; b < 3; ++b)
    for (int a = 0; a < 3; ++a)
      error = std::max(error, cv::norm(origin + du * us[a] + dv * vs[b] - p[b][a]));
  return {du.x, dv.x, origin.x, du.y, dv.y, origin.y};
}

// Samples one tile by its affine approximation into out, as affine
// sampling samples a grid.
void sampleTile(const cv::Mat& plane, const cv::Matx23d& dstToSrc, const Tile& t, cv::Mat& out) {
  const cv::Size size(t.i1 - t.i0, t.j1 - t.j0);
  const double widest = std::max(std::hypot(dstToSrc(0, 0), dstToSrc(1, 0)), std::hypot(dstToSrc(0, 1), dstToSrc(1, 1)));
  cv::Mat values;
  if (widest > 1.0)
    values = kfFootprintSamples(plane, dstToSrc, size);
  else
    cv::warpAffine(plane, values, dstToSrc, size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
  values.copyTo(out(cv::Rect(t.i0, t.j0, size.width, size.height)));
}

void sampleTiles(const cv::Mat& plane, const cv::Matx33d& h, const Tile& t, cv::Mat& out) {
  double error = 0.0;
  const cv::Matx23d affine = tileAffine(h, t, error);
  const int ni = t.i1 - t.i0, nj = t.j1 - t.j0;
  if (error <= kTileTolerance || (ni == 1 && nj == 1)) return sampleTile(plane, affine, t, out);
  // Halve the side that spans more of the source.
  const bool across = ni > 1 && (nj == 1 || std::hypot(affine(0, 0), affine(1, 0)) * ni >=
                                                std::hypot(affine(0, 1), affine(1, 1)) * nj);
  if (across) {
    const int mid = t.i0 + ni / 2;
    sampleTiles(plane, h, {t.i0, t.j0, mid, t.j1}, out);
    sampleTiles(plane, h, {mid, t.j0, t.i1, t.j1}, out);
  } else {
    const int mid = t.j0 + nj / 2;
    sampleTiles(plane, h, {t.i0, t.j0, t.i1, mid}, out);
    sampleTiles(plane, h, {t.i0, mid, t.i1, t.j1}, out);
  }
}

// The grid's homography with w > 0 at its corners, where the sample centres
// lie; kcBadArgument when its corners straddle the horizon or leave
// finite numbers.
cv::Matx33d checkedGrid(const kcPerspectiveSamplingParams& sampling) {
  if (sampling.xSamples < 1 || sampling.ySamples < 1 || sampling.xSamples > INT_MAX || sampling.ySamples > INT_MAX)
    throw kcBadArgument("perspective sampling: " + std::to_string(sampling.xSamples) + " x " +
                        std::to_string(sampling.ySamples) + " samples");
  cv::Matx33d h = kfToCv(sampling.gridToImage);
  int positive = 0, negative = 0;
  for (const double j : {0.0, sampling.ySamples - 1.0})
    for (const double i : {0.0, sampling.xSamples - 1.0}) {
      const double w = h(2, 0) * i + h(2, 1) * j + h(2, 2);
      positive += w > 0.0, negative += w < 0.0;
      const cv::Point2d p = mapped(h, i, j);
      if (!std::isfinite(p.x) || !std::isfinite(p.y))
        throw kcBadArgument("perspective sampling: the grid's homography is not finite at its corners");
    }
  if (negative == 4) h = -h;
  else if (positive != 4)
    throw kcBadArgument("perspective sampling: the grid reaches beyond the homography's horizon");
  return h;
}

template <class Test>
bool anyCorner(const cv::Matx33d& h, const kcPerspectiveSamplingParams& sampling, Test test) {
  for (const double j : {0.0, sampling.ySamples - 1.0})
    for (const double i : {0.0, sampling.xSamples - 1.0})
      if (test(mapped(h, i, j))) return true;
  return false;
}

// Each sample the pel its centre lies in (pel centres at integers, so the
// pel is the centre rounded), the nearest window pel for centres outside.
cv::Mat nearestPels(const cv::Mat& plane, const cv::Matx33d& gridToSrc, cv::Size size) {
  cv::Mat out(size, CV_8U);
  for (int j = 0; j < size.height; ++j) {
    unsigned char* row = out.ptr(j);
    for (int i = 0; i < size.width; ++i) {
      const cv::Point2d p = mapped(gridToSrc, i, j);
      const int x = static_cast<int>(std::clamp(std::floor(p.x + 0.5), 0.0, plane.cols - 1.0));
      const int y = static_cast<int>(std::clamp(std::floor(p.y + 0.5), 0.0, plane.rows - 1.0));
      row[i] = plane.at<unsigned char>(y, x);
    }
  }
  return out;
}

}  // namespace

cv::Mat kfPerspectiveSamples(const cv::Mat& plane, const cv::Matx33d& gridToSrc, cv::Size size) {
  cv::Mat out(size, CV_8U);
  sampleTiles(plane, gridToSrc, {0, 0, size.width, size.height}, out);
  return out;
}

kcPelBuffer<unsigned char> kfPerspectiveTransformImage(const kcPelBuffer_const<unsigned char>& src,
                                                       const kcPerspectiveSamplingParams& sampling) {
  if (!src.isBound()) throw kcBadPointer("perspective sampling of an unbound pel buffer");
  const kcPelRect& window = src.window();
  if (window.width() == 0 || window.height() == 0)
    throw kcBadArgument("perspective sampling: the source window is empty");
  const cv::Matx33d h = checkedGrid(sampling);
  // Window-relative coordinates with OpenCV's pel centres.
  const double dx = window.left + 0.5, dy = window.top + 0.5;
  if (anyCorner(h, sampling, [&](const cv::Point2d& p) {
        return std::abs(p.x - dx) > kFarthestSample || std::abs(p.y - dy) > kFarthestSample;
      }))
    throw kcBadArgument("perspective sampling reaches too far outside the source window");
  const cv::Matx33d toMat(1.0, 0.0, -dx, 0.0, 1.0, -dy, 0.0, 0.0, 1.0);
  const cv::Size size(static_cast<int>(sampling.xSamples), static_cast<int>(sampling.ySamples));
  if (sampling.nearestPel) return kfPelBufferFromMat(nearestPels(kfMatView(src), toMat * h, size));
  return kfPelBufferFromMat(kfPerspectiveSamples(kfMatView(src), toMat * h, size));
}

bool kfPerspectiveSamplingClips(const kc_PelBuffer& buffer, const kcPerspectiveSamplingParams& sampling) {
  const kcPelRect& window = buffer.window();
  // The grid's image is convex with its corners' images as corners.
  return anyCorner(checkedGrid(sampling), sampling, [&](const cv::Point2d& p) {
    return !(p.x >= window.left && p.x < window.right && p.y >= window.top && p.y < window.bottom);
  });
}
