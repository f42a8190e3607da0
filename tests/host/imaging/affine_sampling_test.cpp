// Affine resampling: sample geometry through client transforms and
// offsets, interpolation, clipping masks, and never reading past the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "colc/host/imaging.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/srgb.h"
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
  // Every second pel, nearest neighbours: each sample falls on the common
  // corner of four pels and takes the one holding it.
  const auto nearest = kfAffineTransformImage(src_, sampling(-25, 26, 16, 12, 8, 6, Sampling::eNearestNeighbor));
  for (long j = 0; j < 6; ++j)
    for (long i = 0; i < 8; ++i) EXPECT_EQ(pelAt(nearest, i, j), pelAt(src_, -32 + 2 * i, 21 + 2 * j));
  // One pel apart, bilinear: each sample on a corner is the mean of the four pels around it.
  const auto linear = kfAffineTransformImage(src_, sampling(-24.5, 26.5, 16, 12, 16, 12, Sampling::eBilinear));
  for (long j = 0; j < 12; ++j)
    for (long i = 0; i < 16; ++i) {
      const long x = -32 + i, y = 21 + j;
      const double mean =
          (pelAt(src_, x - 1, y - 1) + pelAt(src_, x, y - 1) + pelAt(src_, x - 1, y) + pelAt(src_, x, y)) / 4.0;
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

// Grids spaced wider than a pel one way and far closer the other, or
// endlessly wide, still read the window only (under the sanitizers: and
// never turn a non-number into a pel position).
TEST_F(AffineSampling, LopsidedAndEndlessGridsReadTheWindowOnly) {
  for (const auto& [xLength, nx, yLength, ny] :
       {std::tuple{30.0, 10L, 0.2, 20L}, {0.0, 3L, 25.0, 5L}, {1e300, 1L, 1e-300, 2L}, {1e12, 1L, 30.0, 6L}}) {
    const kcPelBuffer<unsigned char> values =
        kfAffineTransformImage(src_, sampling(-15.5, 35.5, xLength, yLength, nx, ny, Sampling::eBilinear));
    for (long j = 0; j < ny; ++j)
      for (long i = 0; i < nx; ++i) ASSERT_LT(pelAt(values, i, j), 100) << xLength << " x " << yLength;
  }
}

TEST_F(AffineSampling, RefusesWhatItCannotSample) {
  EXPECT_THROW(kfAffineTransformImage(kcPelBuffer<unsigned char>(), sampling(0, 30, 4, 4, 2, 2, Sampling::eBilinear)),
               kcBadPointer);
  EXPECT_THROW(kfAffineTransformImage(src_, sampling(-20, 30, 4, 4, 0, 2, Sampling::eBilinear)), kcBadArgument);
  EXPECT_THROW(kfAffineTransformImage(src_, sampling(1e7, 30, 4, 4, 2, 2, Sampling::eBilinear)), kcBadArgument);
  src_.clientFromImageXform(kcXform<2>(kcMatrix<2>(1.0, 2.0, 2.0, 4.0), kcVector<2>()));
  EXPECT_THROW(sampling(-20, 30, 4, 4, 2, 2, Sampling::eBilinear).willClip(src_), kcBadArgument);
}

// A chart of 6 x 4 square patches of random light on a dark card, as a
// sensor sees it with the chart moved by (dx, dy) pels: each pel holds the
// sRGB-encoded mean light over its square, exactly.
kcPelBuffer<unsigned char> chartView(double dx, double dy) {
  constexpr int kWidth = 314, kHeight = 214, kPatch = 40, kGap = 8;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> lightOf(0.02, 1.0);
  std::vector<double> light(24);
  for (double& l : light) l = lightOf(rng);
  // The length of [a, a + 1) inside [lo, hi).
  const auto overlap = [](double a, double lo, double hi) {
    return std::max(0.0, std::min(a + 1, hi) - std::max(a, lo));
  };
  cv::Mat pels(kHeight, kWidth, CV_8U);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      double sum = 0.01;  // the card
      for (int p = 0; p < 24; ++p) {
        const double left = 14 + dx + (p % 6) * (kPatch + kGap), top = 14 + dy + (p / 6) * (kPatch + kGap);
        sum += (light[p] - 0.01) * overlap(x, left, left + kPatch) * overlap(y, top, top + kPatch);
      }
      pels.at<unsigned char>(y, x) = static_cast<unsigned char>(std::lround(255.0 * kfSrgbEncode(sum)));
    }
  return kfPelBufferFromMat(pels);
}

// The chart's rectangle, moved like the view, on a grid of about 5.4 pels.
kcPelBuffer<unsigned char> sampledChart(double dx, double dy) {
  const kcAffineRectangle rect(kcVector<2>(157.0 + dx, 106.0 + dy), 282.0, 180.0, kcRadian(0.0), kcRadian(0.0));
  return kfAffineTransformImage(chartView(dx, dy), Sampling(rect, 52, 33, Sampling::eBilinear));
}

// Samples spaced wider than a pel stand for the light around them, so a
// sub-pel move of the view hardly changes them: point samples of these
// views differ by up to 68 pel values at the patches' edges.
TEST(FootprintSampling, SamplesOfAMovedViewAgreeWhateverItsSubPelPhase) {
  const kcPelBuffer<unsigned char> still = sampledChart(0.0, 0.0);
  for (const auto& [dx, dy] : {std::pair{0.5, 0.0}, {0.25, 0.75}, {0.37, 0.61}, {-0.5, -0.5}, {3.9, -2.2}}) {
    const kcPelBuffer<unsigned char> moved = sampledChart(dx, dy);
    int worst = 0;
    double sum = 0.0;
    for (long j = 0; j < 33; ++j)
      for (long i = 0; i < 52; ++i) {
        const int difference = std::abs(pelAt(moved, i, j) - pelAt(still, i, j));
        worst = std::max(worst, difference), sum += difference;
      }
    EXPECT_LE(worst, 4) << "moved by " << dx << ", " << dy;
    EXPECT_LE(sum / (33 * 52), 0.5) << "moved by " << dx << ", " << dy;
  }
}

}  // namespace
