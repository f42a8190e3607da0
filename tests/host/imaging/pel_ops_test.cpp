// Pel operations against plain loops over image coordinates, on random
// images whose windows, offsets and strides are all different and odd.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "colc/host/imaging.h"
#include "support/image_random.h"

using colc_test::pelAt;
using colc_test::randomBuffer;
using colc_test::windowPel;

namespace {

const kcXform<2> kClient{kcMatrix<2>(0.0, -1.0, 1.0, 0.0), kcVector<2>(7.0, 1.5)};

class PelOps : public ::testing::Test {
 protected:
  // 13 x 9 pels at image (-4, 5), window (-2, 6) .. (7, 13): 9 x 7.
  kcPelBuffer<unsigned char> a_ = randomBuffer(rng_, 13, 9, -4, 5, kcPelRect(-2, 6, 7, 13));
  // 11 x 10 pels at image (30, -3), a 9 x 7 window elsewhere in the plane.
  kcPelBuffer<unsigned char> b_ = randomBuffer(rng_, 11, 10, 30, -3, kcPelRect(31, -1, 40, 6));

  void SetUp() override { a_.clientFromImageXform(kClient); }

  // A result sits where the window it was made from sat.
  static void expectPlacedAt(const kcPelBuffer<unsigned char>& result, const kcPelRect& window) {
    EXPECT_EQ(result.window(), window);
    EXPECT_EQ(result.pelBounds(), window);
    EXPECT_EQ(result.clientFromImageXform(), kClient);
  }

  static std::mt19937 rng_;
};
std::mt19937 PelOps::rng_(7);

TEST_F(PelOps, CopyKeepsPelsAndGeometry) {
  const kcPelBuffer<unsigned char> copy = kfPelCopy(a_);
  expectPlacedAt(copy, a_.window());
  for (long y = 6; y < 13; ++y)
    for (long x = -2; x < 7; ++x) EXPECT_EQ(pelAt(copy, x, y), pelAt(a_, x, y));

  kc3PlanePelBuffer colour(a_, a_, a_), colourCopy;
  kfPelCopy(colour, colourCopy);
  EXPECT_NE(colourCopy.plane1().pointToRow(6), a_.pointToRow(6));
  EXPECT_TRUE(kfPelEqual(colourCopy.plane1(), a_));
  EXPECT_EQ(colourCopy.window(), a_.window());
}

TEST_F(PelOps, MapReplacesEveryWindowPelThroughTheTable) {
  std::vector<unsigned char> table(256);
  for (int v = 0; v < 256; ++v) table[v] = static_cast<unsigned char>((v * 37 + 11) % 256);

  const kcPelBuffer<unsigned char> mapped = kfPelMap(a_, table);
  expectPlacedAt(mapped, a_.window());
  for (long j = 0; j < a_.height(); ++j)
    for (long i = 0; i < a_.width(); ++i) EXPECT_EQ(windowPel(mapped, i, j), table[windowPel(a_, i, j)]);

  // Into another buffer of the same window size: written in place there,
  // its geometry and its pels outside the window untouched.
  const unsigned char outside = pelAt(b_, 30, -3);
  kcPelBuffer<unsigned char> dst = b_;
  kfPelMap(a_, table, dst);
  EXPECT_EQ(dst.pointToRow(-1), b_.pointToRow(-1));
  EXPECT_TRUE(kfPelEqual(b_, mapped));
  EXPECT_EQ(pelAt(b_, 30, -3), outside);
}

TEST_F(PelOps, MapIntoItselfOrAnOverlappingWindow) {
  std::vector<unsigned char> invert(256);
  for (int v = 0; v < 256; ++v) invert[v] = static_cast<unsigned char>(255 - v);
  const kcPelBuffer<unsigned char> expected = kfPelMap(a_, invert);

  kcPelBuffer<unsigned char> self = kfPelCopy(a_);
  kfPelMap(self, invert, self);
  EXPECT_TRUE(kfPelEqual(self, expected));

  // The same pels seen through a window one pel to the right and one down:
  // mapping must read every source pel before it is overwritten.
  kcPelBuffer<unsigned char> source = kfPelCopy(a_);
  source.window(kcPelRect(-2, 6, 6, 12), false);
  kcPelBuffer<unsigned char> shifted = source;
  shifted.window(kcPelRect(-1, 7, 7, 13), false);
  const kcPelBuffer<unsigned char> shiftedExpected = kfPelMap(source, invert);
  kfPelMap(source, invert, shifted);
  EXPECT_TRUE(kfPelEqual(shifted, shiftedExpected));
}

TEST_F(PelOps, MapRefusesBadTablesAndDestinations) {
  const std::vector<unsigned char> identity = [] {
    std::vector<unsigned char> t(256);
    for (int v = 0; v < 256; ++v) t[v] = static_cast<unsigned char>(v);
    return t;
  }();
  EXPECT_THROW(kfPelMap(a_, std::vector<unsigned char>()), kcBadArgument);
  EXPECT_THROW(kfPelMap(a_, std::vector<unsigned char>(255)), kcBadArgument);

  kcPelBuffer<unsigned char> wrongSize(3, 3);
  wrongSize.pointToRow(0)[0] = 99;
  EXPECT_THROW(kfPelMap(a_, identity, wrongSize), kcBadArgument);
  EXPECT_EQ(wrongSize.pointToRow(0)[0], 99);

  kcPelBuffer<unsigned char> unbound;
  kfPelMap(a_, identity, unbound);
  EXPECT_TRUE(kfPelEqual(unbound, a_));
  EXPECT_NE(unbound.pointToRow(6), a_.pointToRow(6));
}

TEST_F(PelOps, AbsoluteDifferencePairsPelsByPlaceInTheWindows) {
  const kcPelBuffer<unsigned char> difference = kfPelSub(a_, b_, 2);
  expectPlacedAt(difference, a_.window());
  for (long j = 0; j < a_.height(); ++j)
    for (long i = 0; i < a_.width(); ++i)
      EXPECT_EQ(windowPel(difference, i, j), std::abs(windowPel(a_, i, j) - windowPel(b_, i, j)));

  EXPECT_THROW(kfPelSub(a_, kcPelBuffer<unsigned char>(9, 6), 2), kcBadArgument);
  EXPECT_THROW(kfPelSub(a_, b_, 0), kcBadArgument);
}

TEST_F(PelOps, MinimumPairsPelsByImageCoordinatesOverTheOverlap) {
  // b's pels moved so that its window overlaps a's in the rectangle
  // (1, 8) .. (7, 13).
  kcPelBuffer<unsigned char> b = b_;
  b.offset(0, 4);
  b.window(kcPelRect(1, 8, 11, 14), false);

  const kcPelBuffer<unsigned char> minimum = kfPelMin(a_, b);
  expectPlacedAt(minimum, kcPelRect(1, 8, 7, 13));
  for (long y = 8; y < 13; ++y)
    for (long x = 1; x < 7; ++x) EXPECT_EQ(pelAt(minimum, x, y), std::min(pelAt(a_, x, y), pelAt(b, x, y)));

  // The overlap does not depend on the order; the geometry is the first's.
  EXPECT_TRUE(kfPelEqual(kfPelMin(b, a_), minimum));
  EXPECT_EQ(kfPelMin(b, a_).clientFromImageXform(), kcXform<2>());

  const kcPelBuffer<unsigned char> none = kfPelMin(a_, b_);  // windows apart
  EXPECT_TRUE(none.isBound());
  EXPECT_EQ(none.width(), 0);
  EXPECT_EQ(none.height(), 0);
}

TEST_F(PelOps, EqualityComparesWindowPelsByPlace) {
  kcPelBuffer<unsigned char> twin = kfPelCopy(a_);
  twin.offset(500, 500);  // placement does not matter, content does
  EXPECT_TRUE(kfPelEqual(a_, twin));

  twin.pointToRow(twin.window().bottom - 1)[twin.width() - 1] ^= 1;  // the very last pel
  EXPECT_FALSE(kfPelEqual(a_, twin));

  kcPelBuffer<unsigned char> narrower = kfPelCopy(a_);
  narrower.window(kcPelRect(-2, 6, 6, 13), false);
  EXPECT_FALSE(kfPelEqual(a_, narrower));
  EXPECT_TRUE(kfPelEqual(kcPelBuffer<unsigned char>(0, 3), kcPelBuffer<unsigned char>(0, 3)));
}

TEST_F(PelOps, EmptyWindowsGiveEmptyResults) {
  kcPelBuffer<unsigned char> empty = a_;
  empty.window(kcPelRect(0, 8, 0, 12), false);
  std::vector<unsigned char> table(256, 1);
  EXPECT_EQ(kfPelMap(empty, table).width(), 0);
  EXPECT_EQ(kfPelCopy(empty).height(), 4);
  EXPECT_EQ(kfPelSub(empty, empty, 2).width(), 0);
  kfPelMap(empty, table, empty);
}

TEST_F(PelOps, UnboundBuffersAreRefused) {
  const kcPelBuffer<unsigned char> u;
  const std::vector<unsigned char> table(256);
  std::vector<unsigned long> histogram;
  kcPelBuffer<unsigned char> dst;
  kc3PlanePelBuffer colour;
  EXPECT_THROW(kfPelCopy(u), kcBadPointer);
  EXPECT_THROW(kfPelCopy(kc3PlanePelBuffer(), colour), kcBadPointer);
  EXPECT_THROW(kfPelMap(u, table), kcBadPointer);
  EXPECT_THROW(kfPelMap(u, table, dst), kcBadPointer);
  EXPECT_THROW(kfPelHistogram(u, histogram), kcBadPointer);
  EXPECT_THROW(kfPelSub(a_, u, 2), kcBadPointer);
  EXPECT_THROW(kfPelMin(u, a_), kcBadPointer);
  EXPECT_THROW(kfPelEqual(a_, u), kcBadPointer);
}

}  // namespace
