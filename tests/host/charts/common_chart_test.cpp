// The 24-patch chart's reference: its patches lie where it says, with the
// published colours, in the proportions of the real chart.
#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "colc/host/light.h"
#include "host/charts/common_chart.h"
#include "host/imaging/cv_bridge.h"
#include "support/photo_set.h"

namespace {

const unsigned char kDarkSkin[3] = {115, 82, 68};
const unsigned char kBlack[3] = {52, 52, 52};
const unsigned char kWhite[3] = {243, 243, 242};

void expectPel(const kc3PlanePelBuffer& chart, const kcVector<2>& at, const unsigned char (&rgb)[3]) {
  const long x = static_cast<long>(at.x()), y = static_cast<long>(at.y());
  EXPECT_EQ(chart.plane0().pointToRow(y)[x], rgb[0]);
  EXPECT_EQ(chart.plane1().pointToRow(y)[x], rgb[1]);
  EXPECT_EQ(chart.plane2().pointToRow(y)[x], rgb[2]);
}

// The centre of the light that differs from the card's around a patch
// centre, each pel weighed by how much it differs in all three planes (edge
// pels count in part).
kcVector<2> drawnCentre(const kc3PlanePelBuffer& chart, const kcVector<2>& near, double reach) {
  const kcPelBuffer_const<unsigned char> planes[3] = {chart.plane0(), chart.plane1(), chart.plane2()};
  double sum = 0, sx = 0, sy = 0;
  for (long y = std::lround(near.y() - reach); y < std::lround(near.y() + reach); ++y)
    for (long x = std::lround(near.x() - reach); x < std::lround(near.x() + reach); ++x) {
      double w = 0;
      for (const kcPelBuffer_const<unsigned char>& plane : planes)
        w += std::abs(kfPelLight(plane.pointToRow(y)[x]) - kfPelLight(plane.pointToRow(0)[0]));
      sum += w;
      sx += w * (x + 0.5);
      sy += w * (y + 0.5);
    }
  return {sx / sum, sy / sum};
}

}  // namespace

TEST(CommonChart, PatchesAreDrawnAtTheirCentresWithThePublishedColoursAtAnyWidth) {
  for (long width : {96L, 500L, 961L, 2000L}) {
    SCOPED_TRACE(width);
    const kc3PlanePelBuffer chart = kfCommonChart(width);
    ASSERT_EQ(chart.width(), width);
    ASSERT_EQ(chart.height(), kfCommonChartHeight(width));
    const std::vector<kcVector<2>> centres = kfCommonChartPatchCentres(width);
    ASSERT_EQ(centres.size(), 24u);
    expectPel(chart, centres[0], kDarkSkin);
    expectPel(chart, centres[18], kWhite);
    expectPel(chart, centres[23], kBlack);
    // Each patch's drawn light is centred where the chart says; the window
    // reaches past the patch's edge into the gap, not to the next patch.
    const double pitch = centres[1].x() - centres[0].x();
    for (std::size_t i = 0; i < 24; ++i) {
      const kcVector<2> drawn = drawnCentre(chart, centres[i], 0.5 * pitch);
      EXPECT_NEAR(drawn.x(), centres[i].x(), 0.05) << "patch " << i;
      EXPECT_NEAR(drawn.y(), centres[i].y(), 0.05) << "patch " << i;
    }
  }
  EXPECT_THROW(kfCommonChart(95), kcBadArgument);
}

// How wide the patches are against their pitch, on the chart's image: at
// each patch's middle, across and down, the distance between the two places
// where the light crosses half way from the patch to the gap beside it.
// The median over the patches that stand out from the card.
static double patchWidthOverPitch(const cv::Mat& grey, const std::vector<kcVector<2>>& centres, double pitch) {
  std::vector<double> widths;
  const auto crossing = [](const std::vector<float>& profile, int from, int step, float level) {
    for (int i = from; i + step >= 0 && i + step < static_cast<int>(profile.size()); i += step)
      if ((profile[i] - level) * (profile[i + step] - level) <= 0)
        return i + step * (profile[i] - level) / (profile[i] - profile[i + step]);
    return std::nanf("");
  };
  const int half = static_cast<int>(0.6 * pitch), band = static_cast<int>(0.2 * pitch);
  const int toGap = static_cast<int>(std::lround(pitch / 2));
  for (const kcVector<2>& c : centres)
    for (bool across : {true, false}) {
      std::vector<float> profile(2 * half + 1, 0.0f);
      for (int i = -half; i <= half; ++i)
        for (int j = -band; j <= band; ++j) {
          const int x = static_cast<int>(c.x()) + (across ? i : j), y = static_cast<int>(c.y()) + (across ? j : i);
          profile[i + half] += grey.at<unsigned char>(y, x);
        }
      const float inside = profile[half], gap = std::min(profile[half - toGap], profile[half + toGap]);
      if (inside - gap < 20.0f * (2 * band + 1)) continue;  // a patch too dark to stand out from the card
      const float level = (inside + gap) / 2;
      const float a = crossing(profile, half, -1, level), b = crossing(profile, half, 1, level);
      if (!std::isnan(a) && !std::isnan(b)) widths.push_back((b - a) / pitch);
    }
  std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
  return widths.empty() ? 0.0 : widths[widths.size() / 2];
}

// A reference whose patches are too large or too small against their pitch
// biases the scale at which the chart is found: the patches of every real
// chart of the layout, seen through its measured pose, have the reference's
// proportions. Left out: another maker's print, whose patches are narrower,
// and charts of less than 40 pels a pitch, whose gaps of under 5 pels the
// lens blurs so that they never reach the card's darkness.
TEST(CommonChart, ItsPatchesHaveTheProportionsOfThePhotographedCharts) {
  const std::vector<kcPhotoTruth> photosAtHand = kfPhotosAtHand();
  constexpr long kWidth = 638;
  const std::vector<kcVector<2>> centres = kfCommonChartPatchCentres(kWidth);
  const double pitch = centres[1].x() - centres[0].x();
  const kc3PlanePelBuffer reference = kfCommonChart(kWidth);
  const double drawn = patchWidthOverPitch(kfMatView(reference.plane1()), centres, pitch);
  // From the reference's image coordinates to the patch grid, and the
  // shift between those coordinates and OpenCV's pel centres.
  const cv::Matx33d toGrid(1 / pitch, 0, -centres[0].x() / pitch, 0, 1 / pitch, -centres[0].y() / pitch, 0, 0, 1);
  const cv::Matx33d fromCentre(1, 0, 0.5, 0, 1, 0.5, 0, 0, 1), toCentre(1, 0, -0.5, 0, 1, -0.5, 0, 0, 1);
  int photos = 0;
  for (const kcPhotoTruth& truth : photosAtHand) {
    const double seenPitch = (truth.centres[1] - truth.centres[0]).length();
    if (truth.chart == "another maker's print" || seenPitch < 40) continue;
    SCOPED_TRACE(truth.image);
    const kc3PlanePelBuffer photo = kfReadPhoto(truth);
    const std::array<double, 9>& h = truth.gridToImage.elements();
    const cv::Matx33d gridToImage(h.data());
    cv::Mat seen;
    cv::warpPerspective(kfMatView(photo.plane1()), seen, toCentre * gridToImage * toGrid * fromCentre,
                        cv::Size(static_cast<int>(reference.width()), static_cast<int>(reference.height())),
                        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP);
    EXPECT_NEAR(patchWidthOverPitch(seen, centres, pitch), drawn, 0.015);
    ++photos;
  }
  if (photos == 0) GTEST_SKIP() << "no photograph of the current or older edition at 40 pels a pitch or more";
}
