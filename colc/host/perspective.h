// Host perspective geometry and sampling: a plane seen at a slant maps onto
// the image by a homography, and a view is resampled onto a grid through it
// with the same area-weighted footprints as affine sampling.
#pragma once

#include <array>

#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

// p -> (h0 x + h1 y + h2, h3 x + h4 y + h5) / (h6 x + h7 y + h8), row-major;
// the default is the identity.
class kcHomography {
 public:
  kcHomography() = default;
  explicit kcHomography(const std::array<double, 9>& h) : h_(h) {}
  explicit kcHomography(const kcXform<2>& affine)
      : h_{affine.matrix().element(0, 0), affine.matrix().element(0, 1), affine.trans().x(),
           affine.matrix().element(1, 0), affine.matrix().element(1, 1), affine.trans().y(),
           0.0, 0.0, 1.0} {}
  const std::array<double, 9>& elements() const { return h_; }

  kcVector<2> mapPoint(const kcVector<2>& p) const {
    const double w = h_[6] * p.x() + h_[7] * p.y() + h_[8];
    return {(h_[0] * p.x() + h_[1] * p.y() + h_[2]) / w, (h_[3] * p.x() + h_[4] * p.y() + h_[5]) / w};
  }
  // (a * b) maps a point through b, then through a.
  kcHomography operator*(const kcHomography& b) const {
    std::array<double, 9> m{};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) m[3 * r + c] += h_[3 * r + k] * b.h_[3 * k + c];
    return kcHomography(m);
  }
  // Throws nothing; a singular homography gives infinities.
  kcHomography inverse() const {
    const std::array<double, 9>& a = h_;
    const std::array<double, 9> adj{a[4] * a[8] - a[5] * a[7], a[2] * a[7] - a[1] * a[8], a[1] * a[5] - a[2] * a[4],
                                    a[5] * a[6] - a[3] * a[8], a[0] * a[8] - a[2] * a[6], a[2] * a[3] - a[0] * a[5],
                                    a[3] * a[7] - a[4] * a[6], a[1] * a[6] - a[0] * a[7], a[0] * a[4] - a[1] * a[3]};
    const double det = a[0] * adj[0] + a[1] * adj[3] + a[2] * adj[6];
    std::array<double, 9> inv{};
    for (int i = 0; i < 9; ++i) inv[i] = adj[i] / det;
    return kcHomography(inv);
  }
  bool operator==(const kcHomography& o) const { return h_ == o.h_; }

 private:
  std::array<double, 9> h_{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
};

// A grid of xSamples x ySamples samples whose sample (i, j) is centred at
// gridToImage(i, j) in the source's image coordinates (pel (x, y) covers
// [x, x + 1) x [y, y + 1), so its centre is (x + 0.5, y + 0.5)).
struct kcPerspectiveSamplingParams {
  kcHomography gridToImage;
  long xSamples = 0;
  long ySamples = 0;
  // Each sample the pel under its centre rather than the mean over a
  // footprint: what the camera itself delivered there, clipped or not.
  bool nearestPel = false;
};

// The source resampled on the grid: unless nearestPel, each sample the mean light over a
// footprint that follows the local spacing of the grid in the source, as
// affine sampling's bilinear samples spaced wider than a pel do; closer
// samples read the source at their centres. Samples outside the window read
// the nearest window pel. kcBadPointer for an unbound source, kcBadArgument
// for an empty window, a grid with fewer than 1 x 1 samples or one that
// reaches implausibly far outside the window.
kcPelBuffer<unsigned char> kfPerspectiveTransformImage(const kcPelBuffer_const<unsigned char>& src,
                                                       const kcPerspectiveSamplingParams& sampling);

// True when some sample centre lies outside the buffer's window.
bool kfPerspectiveSamplingClips(const kc_PelBuffer& buffer, const kcPerspectiveSamplingParams& sampling);
