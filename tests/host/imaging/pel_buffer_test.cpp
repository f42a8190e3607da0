// Pel buffers' windows, offsets and sharing; pel operations and histograms
// against plain loops over image coordinates, on random images whose
// windows, offsets and strides all differ.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "colc/host/imaging.h"
#include "host/imaging/difference_moments.h"
#include "support/image_random.h"

using colc_test::pelAt;

namespace {

class PelOps : public ::testing::Test {
 protected:
  std::mt19937 rng_{7};
  const kcPelRect aWindow_{-2, 6, 7, 13}, bWindow_{31, -1, 40, 6};  // both 9 x 7
  kcPelBuffer<unsigned char> a_ = colc_test::randomBuffer(rng_, 13, 9, -4, 5, &aWindow_);
  kcPelBuffer<unsigned char> b_ = colc_test::randomBuffer(rng_, 11, 10, 30, -3, &bWindow_);
  std::vector<unsigned char> table_ = std::vector<unsigned char>(256, 3);
  void SetUp() override {
    for (int v = 0; v < 256; ++v) table_[v] = static_cast<unsigned char>(v * 37 + 11);
  }
};

TEST_F(PelOps, ResultsMatchPlainLoopsAndSitWhereTheFirstWindowSat) {
  const kcXform<2> client(kcMatrix<2>(0.0, -1.0, 1.0, 0.0), kcVector<2>(7.0, 1.5));
  a_.clientFromImageXform(client);
  const auto copy = kfPelCopy(a_), mapped = kfPelMap(a_, table_), difference = kfPelSub(a_, b_, 2);
  for (const auto* result : {&copy, &mapped, &difference}) {
    EXPECT_EQ(result->pelBounds(), aWindow_);
    EXPECT_EQ(result->clientFromImageXform(), client);
  }
  for (long j = 0; j < 7; ++j)
    for (long i = 0; i < 9; ++i) {
      const long x = aWindow_.left + i, y = aWindow_.top + j;
      const unsigned char pa = pelAt(a_, x, y), pb = pelAt(b_, bWindow_.left + i, bWindow_.top + j);
      EXPECT_EQ(pelAt(copy, x, y), pa);
      EXPECT_EQ(pelAt(mapped, x, y), table_[pa]);
      EXPECT_EQ(pelAt(difference, x, y), std::abs(pa - pb));
    }
  EXPECT_TRUE(kfPelEqual(copy, a_));
  copy.pointToRow(12)[8] ^= 1;  // the very last pel
  EXPECT_FALSE(kfPelEqual(copy, a_));
}

TEST_F(PelOps, MinimumPairsPelsByImageCoordinatesOverTheOverlap) {
  b_.offset(0, 4);  // b's window is now (1, 6) .. (10, 13)
  const kcPelBuffer<unsigned char> minimum = kfPelMin(a_, b_);
  EXPECT_EQ(minimum.pelBounds(), kcPelRect(1, 6, 7, 13));
  for (long y = 6; y < 13; ++y)
    for (long x = 1; x < 7; ++x) EXPECT_EQ(pelAt(minimum, x, y), std::min(pelAt(a_, x, y), pelAt(b_, x, y)));
  b_.offset(100, 100);
  EXPECT_EQ(kfPelMin(a_, b_).width() + kfPelMin(a_, b_).height(), 0);
}

TEST_F(PelOps, MapWritesInPlaceAndIntoOverlappingWindows) {
  kcPelBuffer<unsigned char> source = kfPelCopy(a_);
  source.window(kcPelRect(-2, 6, 6, 12), false);
  const kcPelBuffer<unsigned char> expected = kfPelMap(source, table_);
  kcPelBuffer<unsigned char> shifted = source;  // the same pels, one right and one down
  shifted.window(kcPelRect(-1, 7, 7, 13), false);
  kfPelMap(source, table_, shifted);
  EXPECT_TRUE(kfPelEqual(shifted, expected));
  kfPelMap(shifted, table_, shifted);
  EXPECT_TRUE(kfPelEqual(shifted, kfPelMap(expected, table_)));

  EXPECT_THROW(kfPelMap(a_, std::vector<unsigned char>(255)), kcBadArgument);
  kcPelBuffer<unsigned char> small(3, 3);
  EXPECT_THROW(kfPelMap(a_, table_, small), kcBadArgument);
  EXPECT_THROW(kfPelMap(kcPelBuffer<unsigned char>(), table_), kcBadPointer);
  EXPECT_THROW(kfPelMin(kcPelBuffer<unsigned char>(), a_), kcBadPointer);
}

TEST(PelHistogram, CountsExactlyTheWindowPels) {
  std::mt19937 rng(3);
  const kcPelRect window(8, 7, 39, 22);  // odd width, inside larger pels
  const kcPelBuffer<unsigned char> image = colc_test::randomBuffer(rng, 40, 20, 5, 5, &window);
  std::vector<unsigned long> expected(256, 0);
  for (long y = window.top; y < window.bottom; ++y)
    for (long x = window.left; x < window.right; ++x) ++expected[pelAt(image, x, y)];
  std::vector<unsigned long> histogram = {1, 2, 3};  // stale content is replaced
  kfPelHistogram(image, histogram);
  EXPECT_EQ(histogram, expected);
}

TEST(HistoStats, PopulationMomentsExactForOneOccupiedBin) {
  const auto statsOf = [](std::initializer_list<std::pair<int, unsigned long>> bins) {
    std::vector<unsigned long> h(256, 0);
    for (const auto& [value, count] : bins) h[value] = count;
    return kcHistoStats(h, false);
  };
  EXPECT_EQ(statsOf({{1, 1}, {3, 1}}).sDev(), 1.0);  // divided by n, not n - 1
  EXPECT_EQ(statsOf({{0, 5}, {255, 5}}).mean(), 127.5);
  EXPECT_EQ(statsOf({{0, 5}, {255, 5}}).sDev(), 127.5);
  for (int value : {0, 1, 254}) {
    const kcHistoStats single = statsOf({{value, 4000000007ul}});
    EXPECT_EQ(single.mean(), value);
    EXPECT_EQ(single.sDev(), 0.0);
    EXPECT_EQ(single.histMax(), value);
  }
}

// The moments against the histogram of kfPelSub's difference image: the
// same mean to the bit, the same standard deviation to rounding. Rows long
// enough to fill the vector lanes' runs several times, windows of odd
// widths at odd offsets, and pels at the extremes.
TEST(PelDifferenceMoments, AgreeWithTheHistogramOfTheDifferenceImage) {
  std::mt19937 rng(11);
  const auto check = [](const kcPelBuffer<unsigned char>& a, const kcPelBuffer<unsigned char>& b) {
    std::vector<unsigned long> histogram;
    kfPelHistogram(kfPelSub(a, b, 2), histogram);
    const kcHistoStats expected(histogram, false);
    const kcPelDifferenceMoments m = kfPelAbsDifferenceMoments(a, b);
    EXPECT_EQ(m.count, expected.count());
    EXPECT_EQ(m.mean(), expected.mean());
    EXPECT_NEAR(m.sDev(), expected.sDev(), 1e-13 * (1.0 + expected.sDev()));
    // The sums of the narrowest vectors, which the processor may not choose.
    kcPelDifferenceMoments narrow;
    for (long y = 0; y < a.height(); ++y)
      kfAddDifferenceMoments(a.pointToRow(a.window().top + y), b.pointToRow(b.window().top + y), a.width(), narrow,
                             kcVectorWidth::e128);
    EXPECT_EQ(narrow.sum, m.sum);
    EXPECT_EQ(narrow.sumOfSquares, m.sumOfSquares);
  };
  const kcPelRect aWindow(3, 1, 700004, 3), bWindow(-5, 2, 699996, 4);
  check(colc_test::randomBuffer(rng, 700003, 3, 1, 0, &aWindow),
        colc_test::randomBuffer(rng, 700002, 3, -6, 1, &bWindow));
  for (int width : {1, 15, 16, 17, 333}) {
    const kcPelBuffer<unsigned char> a = colc_test::randomBuffer(rng, width, 5);
    check(a, colc_test::randomBuffer(rng, width, 5));
    check(a, a);
  }
  // The largest differences over rows longer than a run of the widest
  // vectors: a lane that overflowed would show here.
  kcPelBuffer<unsigned char> black(600000, 2), white(600000, 2);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 600000; ++x) black.pointToRow(y)[x] = 0, white.pointToRow(y)[x] = 255;
  check(black, white);
  EXPECT_EQ(kfPelAbsDifferenceMoments(black, white).sDev(), 0.0);
  EXPECT_EQ(kfPelAbsDifferenceMoments(white, black).mean(), 255.0);
  EXPECT_THROW(kfPelAbsDifferenceMoments(black, kcPelBuffer<unsigned char>(3, 2)), kcBadArgument);
  EXPECT_THROW(kfPelAbsDifferenceMoments(kcPelBuffer<unsigned char>(), black), kcBadPointer);
}

TEST(PelBuffer, WindowsAndOffsetsAreImageCoordinatesOnSharedPels) {
  kcPelBuffer<unsigned char> buffer(9, 6);
  buffer.pointToRow(1)[2] = 42;
  kcPelBuffer<unsigned char> view = buffer;  // shares the pels
  view.offset(-5, 10);                       // pel (2, 1) is now at image (-3, 11)
  view.window(kcPelRect(-3, 11, 0, 14), false);
  EXPECT_EQ(view.pointToRow(11)[0], 42);
  EXPECT_EQ(buffer.window(), kcPelRect(0, 0, 9, 6));  // the original keeps its own geometry

  EXPECT_THROW(view.window(kcPelRect(-6, 11, 0, 14), false), kcBadArgument);  // one left of the pels
  EXPECT_THROW(view.window(kcPelRect(-3, 11, 5, 14), false), kcBadArgument);  // one past the right
  EXPECT_EQ(view.window(), kcPelRect(-3, 11, 0, 14));
  view.window(kcPelRect(-100, 12, 100, 13), true);
  EXPECT_EQ(view.window(), kcPelRect(-5, 12, 4, 13));
  view.offset(0, 0);  // the window moves with the pels
  EXPECT_EQ(view.window(), kcPelRect(0, 2, 9, 3));

  view.pointToRow(2)[8] = 7;
  EXPECT_EQ(buffer.pointToRow(2)[8], 7);
  kcPelBuffer<unsigned char> independent = kfPelCopy(buffer);
  independent.pointToRow(2)[8] = 1;
  EXPECT_EQ(buffer.pointToRow(2)[8], 7);
}

TEST(ThreePlane, GeometryChangesApplyToAllPlanesOrNone) {
  const kcPelBuffer<unsigned char> plane(8, 8);
  kcPelBuffer<unsigned char> shifted(8, 8);
  shifted.offset(1, 0);
  kc3PlanePelBuffer image(plane, plane, shifted);
  EXPECT_THROW(image.window(kcPelRect(0, 0, 3, 3), false), kcBadArgument);   // outside plane 2 only
  EXPECT_THROW(image.window(kcPelRect(0, 0, 20, 20), true), kcBadArgument);  // clips plane 2 differently
  EXPECT_EQ(image.pelPlane(0).window(), kcPelRect(0, 0, 8, 8));

  image.offset(1, 2);
  image.window(kcPelRect(2, 3, 5, 9), false);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(image.pelPlane(k).window(), kcPelRect(2, 3, 5, 9));
  EXPECT_THROW(kc3PlanePelBuffer(plane, plane, kcPelBuffer<unsigned char>(7, 8)), kcBadArgument);
}

}  // namespace
