// Pel histograms and their statistics.
#include <gtest/gtest.h>

#include <vector>

#include "colc/host/imaging.h"
#include "support/image_random.h"

namespace {

TEST(PelHistogram, CountsExactlyTheWindowPels) {
  std::mt19937 rng(3);
  const kcPelRect window(8, 7, 39, 22);  // odd width, inside larger pels
  const kcPelBuffer<unsigned char> image = colc_test::randomBuffer(rng, 40, 20, 5, 5, &window);
  std::vector<unsigned long> expected(256, 0);
  for (long y = window.top; y < window.bottom; ++y)
    for (long x = window.left; x < window.right; ++x) ++expected[colc_test::pelAt(image, x, y)];
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

}  // namespace
