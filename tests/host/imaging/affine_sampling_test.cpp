// Affine resampling: sample geometry through client transforms and
// offsets, interpolation, clipping masks and never reading past the window.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "colc/host/imaging.h"
#include "support/image_random.h"

using colc_test::pelAt;
using colc_test::randomBuffer;
using colc_test::windowPel;

namespace {

using Sampling = kcAffineSamplingParams;
constexpr double kPi = std::numbers::pi;

// A rectangle given in the source's image coordinates, handed over in its
// client coordinates as callers do.
kcAffineRectangle clientRect(const kc_PelBuffer& src, double cx, double cy, double xLength, double yLength,
                             double angle = 0.0) {
  return kcAffineRectangle(kcVector<2>(cx, cy), xLength, yLength, kcRadian(angle), kcRadian(angle))
      .map(src.clientFromImageXform());
}

// The literal sample position (i, j) in image coordinates.
kcVector<2> samplePosition(const kc_PelBuffer& src, const Sampling& s, long i, long j) {
  const kcAffineRectangle& r = s.affineRectangle();
  const kcVector<2> client = r.origin() + r.xSide() * ((i + 0.5) / s.xNumSamples()) +
                             r.ySide() * ((j + 0.5) / s.yNumSamples());
  return src.clientFromImageXform().inverse().mapPoint(client);
}

class AffineSampling : public ::testing::Test {
 protected:
  void SetUp() override {
    // Pels at image (-40, 17); a window inside them; a client transform
    // that rotates, scales and moves, so that every conversion matters.
    src_ = randomBuffer(rng_, 50, 40, -40, 17, kcPelRect(-33, 20, 2, 51));
    src_.clientFromImageXform(kcXform<2>(kcMatrix<2>(0.0, -2.0, 2.0, 0.0), kcVector<2>(100.0, -3.0)));
  }

  std::mt19937 rng_{21};
  kcPelBuffer<unsigned char> src_;
};

TEST_F(AffineSampling, IdentityGridReproducesTheWindow) {
  const kcPelRect& w = src_.window();
  const kcAffineRectangle rect = clientRect(src_, (w.left + w.right) / 2.0, (w.top + w.bottom) / 2.0, w.width(),
                                            w.height());
  for (auto interpolation : {Sampling::eBilinear, Sampling::eNearestNeighbor}) {
    const Sampling sampling(rect, w.width(), w.height(), interpolation);
    EXPECT_FALSE(sampling.willClip(src_));
    kcPelBuffer<unsigned char> values, mask;
    bool clipped = true;
    kfAffineTransformImage(src_, values, mask, sampling, clipped);
    EXPECT_TRUE(kfPelEqual(values, src_)) << "interpolation " << interpolation;
    EXPECT_FALSE(clipped);
    std::vector<unsigned long> histogram;
    kfPelHistogram(mask, histogram);
    EXPECT_EQ(histogram[255], static_cast<unsigned long>(w.width() * w.height()));
    // The results live in their own plain coordinates.
    EXPECT_EQ(values.window(), kcPelRect(0, 0, w.width(), w.height()));
    EXPECT_EQ(mask.window(), values.window());
    EXPECT_EQ(values.clientFromImageXform(), kcXform<2>());
  }
}

TEST_F(AffineSampling, WholePelMovesRotationsAndFlipsLandOnPelCentres) {
  // A 6 x 4 grid moved by (3, 2) pels from the window's corner.
  const Sampling moved(clientRect(src_, -33 + 3 + 3.0, 20 + 2 + 2.0, 6, 4), 6, 4, Sampling::eBilinear);
  const kcPelBuffer<unsigned char> m = kfAffineTransformImage(src_, moved);
  for (long j = 0; j < 4; ++j)
    for (long i = 0; i < 6; ++i) EXPECT_EQ(windowPel(m, i, j), pelAt(src_, -33 + 3 + i, 20 + 2 + j));

  // A quarter turn: the x side points down the image, the y side to the left.
  const Sampling turned(clientRect(src_, -20.0, 30.0, 8, 6, kPi / 2), 8, 6, Sampling::eBilinear);
  const kcPelBuffer<unsigned char> t = kfAffineTransformImage(src_, turned);
  // Sample (i, j) sits at image (-20 + 3 - j - 0.5, 30 - 4 + i + 0.5).
  for (long j = 0; j < 6; ++j)
    for (long i = 0; i < 8; ++i) EXPECT_EQ(windowPel(t, i, j), pelAt(src_, -18 - j, 26 + i)) << i << ", " << j;
}

TEST_F(AffineSampling, ScalingInterpolatesBetweenPelCentres) {
  // Every second pel: each sample falls on the corner of four pels.
  const Sampling halved(clientRect(src_, -33 + 8.0, 20 + 6.0, 16, 12), 8, 6, Sampling::eNearestNeighbor);
  const kcPelBuffer<unsigned char> nearest = kfAffineTransformImage(src_, halved);
  const Sampling halvedLinear(halved.affineRectangle(), 8, 6, Sampling::eBilinear);
  const kcPelBuffer<unsigned char> linear = kfAffineTransformImage(src_, halvedLinear);
  for (long j = 0; j < 6; ++j)
    for (long i = 0; i < 8; ++i) {
      const long x = -33 + 2 * i, y = 20 + 2 * j;  // the 2 x 2 block whose corner is sampled
      EXPECT_EQ(windowPel(nearest, i, j), pelAt(src_, x + 1, y + 1));  // the pel holding the corner
      const double mean = (pelAt(src_, x, y) + pelAt(src_, x + 1, y) + pelAt(src_, x, y + 1) +
                           pelAt(src_, x + 1, y + 1)) / 4.0;
      EXPECT_NEAR(windowPel(linear, i, j), mean, 1.0);
    }
}

TEST_F(AffineSampling, SamplesOutsideTheWindowAreMaskedAndReplicateItsBorder) {
  // Dark window inside bright pels: any read past the window would show.
  std::vector<unsigned char> darken(256), identity(256);
  for (int v = 0; v < 256; ++v) {
    darken[v] = static_cast<unsigned char>(v % 100);
    identity[v] = static_cast<unsigned char>(v);
  }
  const kcPelBuffer<unsigned char> dark = kfPelMap(src_, darken);
  kcPelBuffer<unsigned char> all = src_;
  all.window(all.pelBounds(), false);
  kfPelMap(all, std::vector<unsigned char>(256, 255), all);
  kfPelMap(dark, identity, src_);  // back into the window only

  // A tilted rectangle hanging over the window's left and top edges.
  for (auto interpolation : {Sampling::eBilinear, Sampling::eNearestNeighbor}) {
    const Sampling sampling(clientRect(src_, -33.0, 20.0, 20, 14, 0.3), 25, 17, interpolation);
    EXPECT_TRUE(sampling.willClip(src_));
    kcPelBuffer<unsigned char> values, mask;
    bool clipped = false;
    kfAffineTransformImage(src_, values, mask, sampling, clipped);
    EXPECT_TRUE(clipped);
    long outsideCount = 0;
    for (long j = 0; j < 17; ++j)
      for (long i = 0; i < 25; ++i) {
        const kcVector<2> p = samplePosition(src_, sampling, i, j);
        const kcPelRect& w = src_.window();
        const bool inside = p.x() >= w.left && p.x() < w.right && p.y() >= w.top && p.y() < w.bottom;
        outsideCount += inside ? 0 : 1;
        EXPECT_EQ(windowPel(mask, i, j), inside ? 255 : 0) << i << ", " << j;
        EXPECT_LT(windowPel(values, i, j), 100) << i << ", " << j;
        // OpenCV steps in 1/1024 pel: positions that close to a pel edge
        // may go either way.
        const auto nearEdge = [](double v) { return std::abs(v - std::round(v)) < 0.01; };
        if (interpolation == Sampling::eNearestNeighbor && !nearEdge(p.x()) && !nearEdge(p.y())) {
          const long x = std::clamp<long>(std::lround(std::floor(p.x())), w.left, w.right - 1);
          const long y = std::clamp<long>(std::lround(std::floor(p.y())), w.top, w.bottom - 1);
          EXPECT_EQ(windowPel(values, i, j), pelAt(src_, x, y)) << i << ", " << j;
        }
      }
    EXPECT_GT(outsideCount, 0);
    EXPECT_LT(outsideCount, 25 * 17);
  }
}

TEST_F(AffineSampling, WindowEdgesAreHalfOpen) {
  kcPelBuffer<unsigned char> plain = src_;
  plain.clientFromImageXform(kcXform<2>());
  const kcPelRect& w = plain.window();
  const double cx = (w.left + w.right) / 2.0, cy = (w.top + w.bottom) / 2.0;
  // Half a pel left: the first samples sit exactly on the left edge, inside.
  EXPECT_FALSE(Sampling(clientRect(plain, cx - 0.5, cy - 0.5, w.width(), w.height()), w.width(), w.height(),
                        Sampling::eBilinear)
                   .willClip(plain));
  // Half a pel right: the last samples sit exactly on the right edge, outside.
  const Sampling right(clientRect(plain, cx + 0.5, cy, w.width(), w.height()), w.width(), w.height(),
                       Sampling::eBilinear);
  EXPECT_TRUE(right.willClip(plain));
  kcPelBuffer<unsigned char> values, mask;
  bool clipped = false;
  kfAffineTransformImage(plain, values, mask, right, clipped);
  for (long j = 0; j < mask.height(); ++j) {
    EXPECT_EQ(windowPel(mask, mask.width() - 1, j), 0);
    EXPECT_EQ(windowPel(mask, mask.width() - 2, j), 255);
  }
}

TEST_F(AffineSampling, WillClipAgreesWithTheMaskForAnyGeometry) {
  std::uniform_real_distribution<double> centre(-36.0, 5.0), length(0.5, 15.0), angle(-kPi, kPi);
  std::uniform_int_distribution<long> count(1, 30);
  int clippedCases = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const kcAffineRectangle rect(kcVector<2>(centre(rng_), centre(rng_) + 35.0), length(rng_), length(rng_),
                                 kcRadian(angle(rng_)), kcRadian(angle(rng_)));
    const Sampling sampling(rect.map(src_.clientFromImageXform()), count(rng_), count(rng_), Sampling::eBilinear);
    kcPelBuffer<unsigned char> values, mask;
    bool clipped = false;
    kfAffineTransformImage(src_, values, mask, sampling, clipped);
    std::vector<unsigned long> histogram;
    kfPelHistogram(mask, histogram);
    ASSERT_EQ(histogram[0] + histogram[255], static_cast<unsigned long>(mask.width() * mask.height()));
    ASSERT_EQ(clipped, histogram[0] > 0) << "trial " << trial;
    ASSERT_EQ(sampling.willClip(src_), clipped) << "trial " << trial;
    clippedCases += clipped ? 1 : 0;
  }
  EXPECT_GT(clippedCases, 30);
  EXPECT_LT(clippedCases, 270);
}

TEST_F(AffineSampling, RefusesWhatItCannotSample) {
  const kcAffineRectangle rect = clientRect(src_, -20.0, 30.0, 4, 4);
  EXPECT_THROW(kfAffineTransformImage(kcPelBuffer<unsigned char>(), Sampling(rect, 2, 2, Sampling::eBilinear)),
               kcBadPointer);
  EXPECT_THROW(Sampling(rect, 2, 2, Sampling::eBilinear).willClip(kcPelBuffer<unsigned char>()), kcBadPointer);
  EXPECT_THROW(kfAffineTransformImage(src_, Sampling(rect, 0, 2, Sampling::eBilinear)), kcBadArgument);
  EXPECT_THROW(kfAffineTransformImage(src_, Sampling(rect, 2, 2, static_cast<Sampling::Interpolation>(3))),
               kcBadArgument);
  EXPECT_THROW(kfAffineTransformImage(src_, Sampling(clientRect(src_, 1e7, 0.0, 4, 4), 2, 2, Sampling::eBilinear)),
               kcBadArgument);

  kcPelBuffer<unsigned char> singular = src_;
  singular.clientFromImageXform(kcXform<2>(kcMatrix<2>(1.0, 2.0, 2.0, 4.0), kcVector<2>()));
  EXPECT_THROW(kfAffineTransformImage(singular, Sampling(rect, 2, 2, Sampling::eBilinear)), kcBadArgument);

  kcPelBuffer<unsigned char> empty = src_;
  empty.window(kcPelRect(0, 30, 0, 40), false);
  EXPECT_TRUE(Sampling(rect, 2, 2, Sampling::eBilinear).willClip(empty));
  EXPECT_THROW(kfAffineTransformImage(empty, Sampling(rect, 2, 2, Sampling::eBilinear)), kcBadArgument);
}

}  // namespace
