// Intensity of colour images and label histograms.
#include <gtest/gtest.h>

#include <cmath>

#include "colc/host/improc.h"
#include "support/image_random.h"

using colc_test::randomBuffer;
using colc_test::windowPel;

namespace {

TEST(Intensity, IsTheRoundedLumaOfTheWindowWithItsGeometry) {
  std::mt19937 rng(11);
  kc3PlanePelBuffer image(randomBuffer(rng, 20, 9), randomBuffer(rng, 20, 9), randomBuffer(rng, 20, 9));
  image.offset(4, -3);
  image.window(kcPelRect(5, -2, 22, 5), false);
  const kcXform<2> client(kcMatrix<2>(2.0, 0.0, 0.0, 2.0), kcVector<2>(1.0, 1.0));
  image.clientFromImageXform(client);

  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(image, grey);
  EXPECT_EQ(grey.window(), image.window());
  EXPECT_EQ(grey.pelBounds(), image.window());
  EXPECT_EQ(grey.clientFromImageXform(), client);
  for (long j = 0; j < image.height(); ++j)
    for (long i = 0; i < image.width(); ++i) {
      const double luma = 0.299 * windowPel(image.plane0(), i, j) + 0.587 * windowPel(image.plane1(), i, j) +
                          0.114 * windowPel(image.plane2(), i, j);
      EXPECT_LE(std::abs(windowPel(grey, i, j) - luma), 0.5 + 1e-9) << "at " << i << ", " << j;
    }
}

TEST(Intensity, GreyStaysGreyAndPrimariesHaveTheirWeights) {
  kcPelBuffer<unsigned char> r(256, 1), g(256, 1), b(256, 1);
  for (int v = 0; v < 256; ++v) r.pointToRow(0)[v] = g.pointToRow(0)[v] = b.pointToRow(0)[v] = v;
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(kc3PlanePelBuffer(r, g, b), grey);
  EXPECT_TRUE(kfPelEqual(grey, r));

  const kcPelBuffer<unsigned char> zero(256, 1);
  kfPelRGBToI(kc3PlanePelBuffer(r, zero, zero), grey);
  EXPECT_EQ(grey.pointToRow(0)[255], 76);  // 76.245
  kfPelRGBToI(kc3PlanePelBuffer(zero, zero, b), grey);
  EXPECT_EQ(grey.pointToRow(0)[255], 29);  // 29.07
  EXPECT_THROW(kfPelRGBToI(kc3PlanePelBuffer(), grey), kcBadPointer);
}

TEST(LabelHistogram, SplitsTheImageByLabelPairingPelsByPlace) {
  std::mt19937 rng(12);
  // Few labels, so that every label bin gets many pels; the label window
  // and the image window lie at different places.
  kcPelBuffer<unsigned char> labels = randomBuffer(rng, 30, 12, 0, 0, kcPelRect(2, 1, 29, 12));
  std::vector<unsigned char> fewLabels(256);
  for (int v = 0; v < 256; ++v) fewLabels[v] = v < 100 ? 0 : (v < 200 ? 255 : 7);
  kfPelMap(labels, fewLabels, labels);
  const kcPelBuffer<unsigned char> image = randomBuffer(rng, 27, 11, -50, 40);

  kcLabeledProjectionModel<unsigned char> model;
  EXPECT_FALSE(model.isTrained());
  model.train(labels);
  std::vector<std::vector<unsigned long>> histograms(3, std::vector<unsigned long>(5, 9));
  kfLabelHistogram(model, image, histograms, true);

  std::vector<std::vector<unsigned long>> expected(256, std::vector<unsigned long>(256, 0));
  for (long j = 0; j < image.height(); ++j)
    for (long i = 0; i < image.width(); ++i) ++expected[windowPel(labels, i, j)][windowPel(image, i, j)];
  EXPECT_EQ(histograms, expected);
  EXPECT_GT(histograms[255][0] + histograms[255][128], 0u);
}

TEST(LabelHistogram, RefusesMismatchedOrMissingInputs) {
  kcLabeledProjectionModel<unsigned char> model;
  std::vector<std::vector<unsigned long>> histograms;
  const kcPelBuffer<unsigned char> image(4, 4);
  EXPECT_THROW(kfLabelHistogram(model, image, histograms, true), kcBadPointer);
  EXPECT_THROW(model.train(kcPelBuffer<unsigned char>()), kcBadPointer);
  model.train(kcPelBuffer<unsigned char>(4, 5));
  EXPECT_THROW(kfLabelHistogram(model, image, histograms, true), kcBadArgument);
  EXPECT_THROW(kfLabelHistogram(model, kcPelBuffer<unsigned char>(), histograms, true), kcBadPointer);
}

}  // namespace
