// Affine resampling: sample geometry through client transforms and
// offsets, interpolation, clipping masks, and never reading past the window.
#include <gtest/gtest.h>

#include "colc/host/imaging.h"
#include "support/image_random.h"

using colc_test::pelAt;

namespace {

using Sampling = kcAffineSamplingParams;

class AffineSampling : public ::testing::Test {
 protected:
  // Pels at image (-40, 17) holding values below 100 in the window and 255
  // around it, so that any read past the window shows; a client transform
  // that turns, scales and moves, so that every conversion matters.
  void SetUp() override {
    std::vector<unsigned char> darken(256);
    for (int v = 0; v < 256; ++v) darken[v] = static_cast<unsigned char>(v % 100);
    const kcPelBuffer<unsigned char> dark = kfPelMap(src_, darken);
    kcPelBuffer<unsigned char> all = src_;
    all.window(all.pelBounds(), false);
    kfPelMap(all, std::vector<unsigned char>(256, 255), all);
    kfPelMap(dark, darken, src_);  // darkening twice changes nothing: this puts dark back
    src_.clientFromImageXform(kcXform<2>(kcMatrix<2>(0.0, -2.0, 2.0, 0.0), kcVector<2>(100.0, -3.0)));
  }

  // A sampling of a rectangle given in image coordinates.
  Sampling sampling(double cx, double cy, double xLength, double yLength, long nx, long ny,
                    Sampling::Interpolation interpolation, double xAngle = 0.0, double yAngle = 0.0) const {
    const kcAffineRectangle rect(kcVector<2>(cx, cy), xLength, yLength, kcRadian(xAngle), kcRadian(yAngle));
    return Sampling(rect.map(src_.clientFromImageXform()), nx, ny, interpolation);
  }

  std::mt19937 rng_{21};
  const kcPelRect window_{-33, 20, 2, 51};
  kcPelBuffer<unsigned char> src_ = colc_test::randomBuffer(rng_, 50, 40, -40, 17, &window_);
};

TEST_F(AffineSampling, PelCentresAreSampledExactlyAndCornersInterpolated) {
  for (auto interpolation : {Sampling::eBilinear, Sampling::eNearestNeighbor}) {
    const kcPelBuffer<unsigned char> same =
        kfAffineTransformImage(src_, sampling(-15.5, 35.5, 35, 31, 35, 31, interpolation));
    EXPECT_TRUE(kfPelEqual(same, src_));
    EXPECT_EQ(same.window(), kcPelRect(0, 0, 35, 31));
    EXPECT_EQ(same.clientFromImageXform(), kcXform<2>());
  }
  // Every second pel: each sample falls on the common corner of four pels.
  const auto nearest = kfAffineTransformImage(src_, sampling(-25, 26, 16, 12, 8, 6, Sampling::eNearestNeighbor));
  const auto linear = kfAffineTransformImage(src_, sampling(-25, 26, 16, 12, 8, 6, Sampling::eBilinear));
  for (long j = 0; j < 6; ++j)
    for (long i = 0; i < 8; ++i) {
      const long x = -33 + 2 * i, y = 20 + 2 * j;
      EXPECT_EQ(pelAt(nearest, i, j), pelAt(src_, x + 1, y + 1));  // the pel holding the corner
      const double mean =
          (pelAt(src_, x, y) + pelAt(src_, x + 1, y) + pelAt(src_, x, y + 1) + pelAt(src_, x + 1, y + 1)) / 4.0;
      EXPECT_NEAR(pelAt(linear, i, j), mean, 1.0);
    }
}

TEST_F(AffineSampling, MaskMarksSamplesInsideTheWindowAndWillClipForesees) {
  std::uniform_real_distribution<double> centre(-36.0, 5.0), length(0.5, 15.0), angle(-3.2, 3.2);
  std::uniform_int_distribution<long> count(1, 30);
  for (int trial = 0; trial < 300; ++trial) {
    const long nx = count(rng_), ny = count(rng_);
    const Sampling s = sampling(centre(rng_), centre(rng_) + 35.0, length(rng_), length(rng_), nx, ny,
                                trial % 2 ? Sampling::eBilinear : Sampling::eNearestNeighbor, angle(rng_), angle(rng_));
    kcPelBuffer<unsigned char> values, mask;
    bool clipped = false;
    kfAffineTransformImage(src_, values, mask, s, clipped);
    const kcAffineRectangle& r = s.affineRectangle();
    bool anyOutside = false;
    for (long j = 0; j < ny; ++j)
      for (long i = 0; i < nx; ++i) {
        const kcVector<2> p = src_.clientFromImageXform().inverse().mapPoint(
            r.origin() + r.xSide() * ((i + 0.5) / nx) + r.ySide() * ((j + 0.5) / ny));
        const bool inside = p.x() >= -33 && p.x() < 2 && p.y() >= 20 && p.y() < 51;
        anyOutside = anyOutside || !inside;
        ASSERT_EQ(pelAt(mask, i, j), inside ? 255 : 0) << "trial " << trial << " at " << i << ", " << j;
        ASSERT_LT(pelAt(values, i, j), 100) << "trial " << trial << " at " << i << ", " << j;
      }
    ASSERT_EQ(clipped, anyOutside) << "trial " << trial;
    ASSERT_EQ(s.willClip(src_), anyOutside) << "trial " << trial;
  }
  // Pel (x, y) covers [x, x + 1): samples on the left edge are inside, on the right edge outside.
  src_.clientFromImageXform(kcXform<2>());
  EXPECT_FALSE(sampling(-16.0, 35.5, 35, 31, 35, 31, Sampling::eBilinear).willClip(src_));
  EXPECT_TRUE(sampling(-15.0, 35.5, 35, 31, 35, 31, Sampling::eBilinear).willClip(src_));
}

TEST_F(AffineSampling, RefusesWhatItCannotSample) {
  EXPECT_THROW(kfAffineTransformImage(kcPelBuffer<unsigned char>(), sampling(0, 30, 4, 4, 2, 2, Sampling::eBilinear)),
               kcBadPointer);
  EXPECT_THROW(kfAffineTransformImage(src_, sampling(-20, 30, 4, 4, 0, 2, Sampling::eBilinear)), kcBadArgument);
  EXPECT_THROW(kfAffineTransformImage(src_, sampling(1e7, 30, 4, 4, 2, 2, Sampling::eBilinear)), kcBadArgument);
  src_.clientFromImageXform(kcXform<2>(kcMatrix<2>(1.0, 2.0, 2.0, 4.0), kcVector<2>()));
  EXPECT_THROW(sampling(-20, 30, 4, 4, 2, 2, Sampling::eBilinear).willClip(src_), kcBadArgument);
}

}  // namespace
