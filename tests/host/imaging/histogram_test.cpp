// Pel histograms and their statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "colc/host/imaging.h"
#include "support/image_random.h"

namespace {

TEST(PelHistogram, CountsExactlyTheWindowPels) {
  std::mt19937 rng(3);
  // A window of odd width (not a multiple of the unrolled four) inside
  // larger pels whose other pels must not be counted.
  kcPelBuffer<unsigned char> image = colc_test::randomBuffer(rng, 40, 20, 5, 5, kcPelRect(8, 7, 39, 22));
  std::vector<unsigned long> expected(256, 0);
  for (long j = 0; j < image.height(); ++j)
    for (long i = 0; i < image.width(); ++i) ++expected[colc_test::windowPel(image, i, j)];

  std::vector<unsigned long> histogram = {1, 2, 3};  // stale content is replaced
  kfPelHistogram(image, histogram);
  EXPECT_EQ(histogram, expected);

  image.window(kcPelRect(8, 7, 8, 22), false);
  kfPelHistogram(image, histogram);
  EXPECT_EQ(histogram, std::vector<unsigned long>(256, 0));
}

std::vector<unsigned long> histogramOf(std::initializer_list<std::pair<int, unsigned long>> bins) {
  std::vector<unsigned long> h(256, 0);
  for (const auto& [value, count] : bins) h[value] = count;
  return h;
}

TEST(HistoStats, MomentsAreThoseOfThePopulation) {
  const kcHistoStats twoValues(histogramOf({{1, 1}, {3, 1}}), false);
  EXPECT_EQ(twoValues.mean(), 2.0);
  EXPECT_EQ(twoValues.sDev(), 1.0);  // divided by n, not n - 1
  EXPECT_EQ(twoValues.count(), 2u);

  const kcHistoStats extremes(histogramOf({{0, 5}, {255, 5}}), false);
  EXPECT_EQ(extremes.mean(), 127.5);
  EXPECT_EQ(extremes.sDev(), 127.5);
  EXPECT_EQ(extremes.histMin(), 0);
  EXPECT_EQ(extremes.histMax(), 255);

  // Skewed and with counts far beyond any image: compare with the textbook
  // formulas in long double.
  const std::vector<unsigned long> skewed = histogramOf({{10, 3000000000ul}, {11, 7}, {200, 123456789ul}});
  long double n = 0, sum = 0, squares = 0;
  for (int v = 0; v < 256; ++v) {
    n += skewed[v];
    sum += static_cast<long double>(skewed[v]) * v;
  }
  const long double mean = sum / n;
  for (int v = 0; v < 256; ++v) squares += skewed[v] * (v - mean) * (v - mean);
  const kcHistoStats stats(skewed, false);
  EXPECT_NEAR(stats.mean(), static_cast<double>(mean), 1e-12 * 200);
  EXPECT_NEAR(stats.sDev(), static_cast<double>(std::sqrt(squares / n)), 1e-11 * 200);
}

TEST(HistoStats, OneOccupiedBinHasNoSpread) {
  for (int value : {0, 1, 128, 254, 255}) {
    const kcHistoStats stats(histogramOf({{value, 4000000007ul}}), false);
    EXPECT_EQ(stats.mean(), value);
    EXPECT_EQ(stats.sDev(), 0.0);
    EXPECT_EQ(stats.histMin(), value);
    EXPECT_EQ(stats.histMax(), value);
  }
}

TEST(HistoStats, EmptyHistogramsAreAllZero) {
  for (const auto& histogram : {std::vector<unsigned long>(), std::vector<unsigned long>(256, 0)}) {
    const kcHistoStats stats(histogram, false);
    EXPECT_EQ(stats.count(), 0u);
    EXPECT_EQ(stats.mean(), 0.0);
    EXPECT_EQ(stats.sDev(), 0.0);
    EXPECT_EQ(stats.histMax(), 0);
    EXPECT_EQ(stats.histMin(), 0);
  }
}

}  // namespace
