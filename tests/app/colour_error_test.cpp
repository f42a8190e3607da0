// Which flat regions colc says lost colour to clipping.
#include "app/colour_error.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr long kWidth = 64, kHeight = 32;

// Two flat halves: a dark orange on the left, and on the right a blue
// whose red plane is 0 in the reference itself.
kc3PlanePelBuffer twoHalves() {
  kcPelBuffer<unsigned char> planes[3] = {{kWidth, kHeight}, {kWidth, kHeight}, {kWidth, kHeight}};
  const unsigned char left[3] = {100, 60, 20}, right[3] = {0, 128, 200};
  for (int k = 0; k < 3; ++k)
    for (long y = 0; y < kHeight; ++y)
      for (long x = 0; x < kWidth; ++x) planes[k].pointToRow(y)[x] = x < kWidth / 2 ? left[k] : right[k];
  return {planes[0], planes[1], planes[2]};
}

// A fresh copy of view with the first count pels of region i set to value
// in plane k.
kc3PlanePelBuffer withPels(const kc3PlanePelBuffer& view, const FlatRegions& regions, int i, int k, std::size_t count,
                           unsigned char value) {
  kcPelBuffer<unsigned char> planes[3] = {{kWidth, kHeight}, {kWidth, kHeight}, {kWidth, kHeight}};
  for (int plane = 0; plane < 3; ++plane)
    for (long y = 0; y < kHeight; ++y)
      std::copy_n(view.pelPlane(plane).pointToRow(y), kWidth, planes[plane].pointToRow(y));
  for (std::size_t n = 0; n < count; ++n) {
    const long p = regions.pels(i)[n];
    planes[k].pointToRow(p / kWidth)[p % kWidth] = value;
  }
  return {planes[0], planes[1], planes[2]};
}

}  // namespace

TEST(ClippedRegions, ARegionCountsWhenOverOnePercentOfOnePlaneIsClipped) {
  const kc3PlanePelBuffer reference = twoHalves();
  const FlatRegions regions(reference);
  ASSERT_EQ(regions.count(), 2);
  const int left = regions.pels(0)[0] % kWidth < kWidth / 2 ? 0 : 1, right = 1 - left;
  const std::size_t onePercent = regions.pels(left).size() / 100;

  const ClippedRegions none = clippedRegions(reference, reference, regions);
  EXPECT_EQ(none.total, 0);
  EXPECT_EQ(clippedRegionsText(none, 2), "");

  // 1 % of the green plane at 0 is not yet clipped; one pel more is.
  EXPECT_EQ(clippedRegions(withPels(reference, regions, left, 1, onePercent, 0), reference, regions).total, 0);
  const kc3PlanePelBuffer dark = withPels(reference, regions, left, 1, onePercent + 1, 0);
  const ClippedRegions d = clippedRegions(dark, reference, regions);
  EXPECT_EQ(d.dark, 1);
  EXPECT_EQ(d.bright, 0);
  EXPECT_EQ(d.total, 1);
  EXPECT_EQ(clippedRegionsText(d, 2),
            "1 of the 2 flat regions lose colour to clipping at the calibrated settings: over 1 % of their samples "
            "at 0, which no pel map or colour correction restores.");

  // A plane that is 0 in the reference is not clipped by being 0 in the view.
  EXPECT_EQ(clippedRegions(withPels(reference, regions, right, 0, regions.pels(right).size(), 0), reference, regions)
                .total,
            0);

  // Clipped bright in the other region: counted apart, and both in the total;
  // a region clipped both ways counts once in the total.
  const kc3PlanePelBuffer both = withPels(dark, regions, right, 2, regions.pels(right).size() / 10, 255);
  const ClippedRegions b = clippedRegions(both, reference, regions);
  EXPECT_EQ(b.dark, 1);
  EXPECT_EQ(b.bright, 1);
  EXPECT_EQ(b.total, 2);
  EXPECT_NE(clippedRegionsText(b, 2).find("at 0 or 255"), std::string::npos);
  const ClippedRegions once =
      clippedRegions(withPels(dark, regions, left, 2, regions.pels(left).size() / 10, 255), reference, regions);
  EXPECT_EQ(once.dark, 1);
  EXPECT_EQ(once.bright, 1);
  EXPECT_EQ(once.total, 1);
}

TEST(ColourErrorPicture, ClippedRegionsAreHatchedOverTheirErrorColour) {
  const kc3PlanePelBuffer reference = twoHalves();
  const FlatRegions regions(reference);
  const int left = regions.pels(0)[0] % kWidth < kWidth / 2 ? 0 : 1;
  const kc3PlanePelBuffer dark = withPels(reference, regions, left, 1, regions.pels(left).size() / 10, 0);
  const ClippedRegions clipped = clippedRegions(dark, reference, regions);
  const kc3PlanePelBuffer picture =
      colourErrorPicture(reference, regions, colourError(reference, reference, regions), clipped);
  // Black pels in a region: only in the clipped one, and not all of it.
  const auto blackShare = [&](int i) {
    std::size_t black = 0;
    for (long p : regions.pels(i)) {
      bool isBlack = true;
      for (int k = 0; k < 3; ++k) isBlack = isBlack && picture.pelPlane(k).pointToRow(p / kWidth)[p % kWidth] == 0;
      black += isBlack;
    }
    return static_cast<double>(black) / static_cast<double>(regions.pels(i).size());
  };
  EXPECT_GT(blackShare(left), 0.2);
  EXPECT_LT(blackShare(left), 0.5);
  EXPECT_EQ(blackShare(1 - left), 0.0);
}
