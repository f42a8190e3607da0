// The fast paths of footprint sampling give the bits of their literal
// forms: the decoding fused with the first halving those of cv::LUT and
// cv::pyrDown, the samples' light before encoding that of host/literal/,
// the encoding of light by table the count of the thresholds below it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <random>
#include <set>
#include <vector>

#include "host/imaging/decoded_halving.h"
#include "host/imaging/footprint_plan.h"
#include "host/imaging/footprint_sampling.h"
#include "host/imaging/footprint_weights.h"
#include "host/imaging/srgb.h"
#include "host/imaging/srgb_tables.h"
#include "host/literal/footprint_sampling_literal.h"

namespace {

cv::Mat randomPels(std::mt19937& rng, int width, int height) {
  cv::Mat pels(height, width, CV_8U);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pels.at<unsigned char>(y, x) = static_cast<unsigned char>(rng());
  return pels;
}

// 128 bits, and every wider width the processor has.
std::vector<kcVectorWidth> widths() {
  std::vector<kcVectorWidth> widths;
  for (const kcVectorWidth width : {kcVectorWidth::e128, kcVectorWidth::e256, kcVectorWidth::e512})
    if (width <= kfWidestVectors()) widths.push_back(width);
  return widths;
}

bool sameBits(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return false;
  for (int y = 0; y < a.rows; ++y)
    if (std::memcmp(a.ptr(y), b.ptr(y), a.cols * a.elemSize()) != 0) return false;
  return true;
}

}  // namespace

// Every width and height up to past two vectors, a gathering and a kernel,
// where the vector parts, the one-by-one tails and the reflected edges meet
// in every way; and parts of larger planes, whose rows lie apart. Pels
// gathered too where the processor can.
TEST(DecodedHalving, GivesTheBitsOfPyrDownOfTheDecodedPels) {
  std::mt19937 rng(7);
  const cv::Mat& table = kfSrgbLightTable();
  const auto check = [&](const cv::Mat& pels) {
    cv::Mat light, half;
    cv::LUT(pels, table, light);
    cv::pyrDown(light, half);
    for (const kcVectorWidth width : widths())
      EXPECT_TRUE(sameBits(kfDecodedHalf(pels, table.ptr<float>(), width), half))
          << pels.cols << " x " << pels.rows << ", vectors " << static_cast<int>(width);
  };
  for (int width = 1; width <= 40; ++width)
    for (int height = 1; height <= 9; ++height) check(randomPels(rng, width, height));
  const cv::Mat plane = randomPels(rng, 331, 207);
  for (const cv::Rect part : {cv::Rect(0, 0, 331, 207), cv::Rect(3, 5, 200, 101), cv::Rect(17, 2, 73, 190)})
    check(plane(part));
}

// Grids spaced 1.05 to 30 pels, some far closer one way, turned either
// way or square to the pels (whose rows of samples share their columns'
// sums), some mirrored, partly or wholly off small and large planes: every
// number of halvings and of taps, samples whose pels reach past the edges
// and samples far outside. In vectors of every width.
TEST(FootprintLight, HasTheBitsOfItsLiteralForm) {
  std::mt19937 rng(2025);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::set<int> taps;
  for (int n = 0; n < 150; ++n) {
    const int width = 6 + static_cast<int>(unit(rng) * (n % 3 == 0 ? 30 : 300));
    const int height = 6 + static_cast<int>(unit(rng) * (n % 3 == 0 ? 30 : 200));
    // Every other plane is a part of a wider one, its rows apart.
    const cv::Mat whole = randomPels(rng, width + (n % 2) * 13, height);
    const cv::Mat plane = whole(cv::Rect((n % 2) * 5, 0, width, height));
    const double spacing = 1.05 + unit(rng) * unit(rng) * 29.0;
    const double randomTurn = (unit(rng) - 0.5) * 0.8, turn = n % 4 == 0 ? 0.0 : randomTurn;
    const double down = n % 5 == 0 ? 0.2 * spacing : spacing, across = n % 7 == 0 ? -spacing : spacing;
    const cv::Size size(2 + static_cast<int>(unit(rng) * 30), 2 + static_cast<int>(unit(rng) * 30));
    const cv::Matx23d dstToSrc(across * std::cos(turn), -down * std::sin(turn), (unit(rng) - 0.3) * width,
                               across * std::sin(turn), down * std::cos(turn), (unit(rng) - 0.3) * height);
    const cv::Mat literal = kfFootprintLightLiteral(plane, dstToSrc, size);
    for (const kcVectorWidth width : widths())
      EXPECT_TRUE(sameBits(kfFootprintLight(plane, dstToSrc, size, width), literal))
          << "case " << n << ", vectors " << static_cast<int>(width);
    taps.insert(kcFootprintWeights(kfFootprintPlan(plane.size(), dstToSrc, size).sigma).taps());
  }
  EXPECT_EQ(taps, (std::set<int>{4, 6, 8, 10, 12, 14, 16, 18, 20}));
}

// Light is encoded to the number of thresholds at or below it, the light
// at which the encoding rounds up from one pel value to the next: checked
// at every threshold, just either side of it, and at random.
TEST(SrgbEncoder, CountsTheThresholdsAtOrBelowTheLight) {
  std::vector<float> thresholds;
  for (int v = 0; v < 255; ++v) thresholds.push_back(static_cast<float>(kfSrgbDecode((v + 0.5) / 255.0)));
  std::vector<float> lights{-1.0f, 0.0f, 1.0f, 1.5f};
  for (const float threshold : thresholds)
    for (const float towards : {0.0f, 2.0f}) lights.push_back(std::nextafter(threshold, towards));
  lights.insert(lights.end(), thresholds.begin(), thresholds.end());
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> light(0.0f, 1.0f);
  for (int n = 0; n < 100000; ++n) lights.push_back(light(rng));
  const kcSrgbEncoder& encode = kfSrgbEncoder();
  for (const float l : lights) {
    const auto below = std::upper_bound(thresholds.begin(), thresholds.end(), l) - thresholds.begin();
    ASSERT_EQ(encode(l), l > 0.0f ? below : 0) << "light " << l;
  }
}
