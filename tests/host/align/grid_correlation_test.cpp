// The pattern search's direct correlation against cv::matchTemplate's
// (TM_CCOEFF_NORMED), which it replaces in the target finder's grid, and
// the same bits at every vector width this processor has.
#include "host/align/grid_correlation.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

std::vector<kcVectorWidth> widthsAtHand() {
  std::vector<kcVectorWidth> widths{kcVectorWidth::e128};
  if (kfWidestVectors() >= kcVectorWidth::e256) widths.push_back(kcVectorWidth::e256);
  if (kfWidestVectors() >= kcVectorWidth::e512) widths.push_back(kcVectorWidth::e512);
  return widths;
}

cv::Mat smoothNoise(cv::Size size, double blur, cv::RNG& rng) {
  cv::Mat image(size, CV_8U);
  rng.fill(image, cv::RNG::UNIFORM, 0, 256);
  cv::GaussianBlur(image, image, cv::Size(), blur);
  return image;
}

}  // namespace

TEST(GridCorrelation, MatchesTemplateMatchingAtEveryWidth) {
  cv::RNG rng(3);
  // Odd and even pattern widths (the last tap of an odd row pairs with 0),
  // results narrower than one vector and wider than several, bright and
  // dark images, and flat stretches, where both give 0.
  const std::vector<std::pair<cv::Size, cv::Size>> cases{
      {{97, 61}, {13, 9}}, {{40, 30}, {20, 14}}, {{23, 19}, {16, 11}}, {{150, 44}, {39, 14}}, {{64, 64}, {8, 8}}};
  for (const auto& [imageSize, patternSize] : cases) {
    cv::Mat image = smoothNoise(imageSize, 1.5, rng);
    const cv::Mat pattern = smoothNoise(patternSize, 1.0, rng);
    image(cv::Rect(0, 0, imageSize.width / 2, imageSize.height / 3)).setTo(200);
    image.colRange(imageSize.width - 3, imageSize.width).setTo(255);
    cv::Mat expected;
    cv::matchTemplate(image, pattern, expected, cv::TM_CCOEFF_NORMED);
    const cv::Mat widest = kfPatternCorrelations(image, pattern);
    ASSERT_EQ(widest.size(), expected.size());
    ASSERT_EQ(widest.type(), CV_32F);
    for (int y = 0; y < expected.rows; ++y)
      for (int x = 0; x < expected.cols; ++x)
        ASSERT_NEAR(widest.at<float>(y, x), expected.at<float>(y, x), 2e-4)
            << imageSize << " " << patternSize << " at " << x << ", " << y;
    for (const kcVectorWidth width : widthsAtHand())
      EXPECT_EQ(cv::norm(kfPatternCorrelations(image, pattern, width), widest, cv::NORM_INF), 0.0);
  }
}

// A pattern of over 33,000 pels: its products pass 31 bits and are summed
// in runs of rows.
TEST(GridCorrelation, SumsLargePatternsWithoutOverflow) {
  cv::RNG rng(4);
  const cv::Mat image = smoothNoise({420, 110}, 2.0, rng);
  cv::Mat pattern = image(cv::Rect(17, 5, 400, 100)).clone();
  cv::Mat expected;
  cv::matchTemplate(image, pattern, expected, cv::TM_CCOEFF_NORMED);
  const cv::Mat found = kfPatternCorrelations(image, pattern);
  EXPECT_NEAR(found.at<float>(5, 17), 1.0f, 1e-6);
  EXPECT_LT(cv::norm(found, expected, cv::NORM_INF), 2e-4);
}
