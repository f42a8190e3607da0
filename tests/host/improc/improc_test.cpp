// Intensity of colour images and label histograms.
#include <gtest/gtest.h>

#include "colc/host/improc.h"
#include "support/image_random.h"

namespace {

TEST(Intensity, IsTheLumaRoundedForEveryColour) {
  kcPelBuffer<unsigned char> r(65536, 256), g(65536, 256), b(65536, 256);  // all 2^24 colours
  for (long y = 0; y < 256; ++y)
    for (long x = 0; x < 65536; ++x) {
      r.pointToRow(y)[x] = static_cast<unsigned char>(x & 255);
      g.pointToRow(y)[x] = static_cast<unsigned char>(x >> 8);
      b.pointToRow(y)[x] = static_cast<unsigned char>(y);
    }
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(kc3PlanePelBuffer(r, g, b), grey);
  long wrong = 0;
  for (long y = 0; y < 256; ++y)
    for (long x = 0; x < 65536; ++x) {  // in thousandths, halves rounding up
      const long error = 1000L * grey.pointToRow(y)[x] - (299L * (x & 255) + 587L * (x >> 8) + 114L * y);
      wrong += (error > 500 || error <= -500) ? 1 : 0;
    }
  EXPECT_EQ(wrong, 0);
}

TEST(LabelHistogram, SplitsTheImageByLabelPairingPelsByPlace) {
  std::mt19937 rng(12);
  const kcPelRect labelWindow(2, 1, 29, 12);  // placed differently from the image
  kcLabeledProjectionModel<unsigned char> model;
  model.train(colc_test::randomBuffer(rng, 30, 12, 0, 0, &labelWindow));
  const kcPelBuffer<unsigned char> image = colc_test::randomBuffer(rng, 27, 11, -50, 40);
  std::vector<std::vector<unsigned long>> histograms(3, std::vector<unsigned long>(5, 9));
  kfLabelHistogram(model, image, histograms, true);
  std::vector<std::vector<unsigned long>> expected(256, std::vector<unsigned long>(256, 0));
  for (long j = 0; j < 11; ++j)
    for (long i = 0; i < 27; ++i)
      ++expected[colc_test::pelAt(model.labels(), 2 + i, 1 + j)][colc_test::pelAt(image, i - 50, j + 40)];
  EXPECT_EQ(histograms, expected);
  model.train(kcPelBuffer<unsigned char>(27, 10));
  EXPECT_THROW(kfLabelHistogram(model, image, histograms, true), kcBadArgument);
}

}  // namespace
