// kfFindTarget on the real photographs of the 24-patch chart, against the
// chart's reference drawn at the chart's own pel size: every chart within
// the slant limit is found, at any quarter turn, and its 24 patch centres
// land near the measured ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

#include "colc/host/improc.h"
#include "colc/host/target_finder.h"
#include "host/charts/common_chart.h"
#include "support/photo_set.h"

namespace {

// The pose error at the patch centres, pels, mean and largest, that each
// photograph may show. These are the goals (2 pels mean, 5 at most) until
// the finder has been measured on them; then each becomes the measured
// figure with a little room.
struct PoseBound {
  std::string image;
  double mean;
  double max;
};
const PoseBound kBounds[] = {
    {"huawei_upright.jpg", 2.0, 5.0},    {"iphone15_desk.jpg", 2.0, 5.0},  {"iphone_grille.jpg", 2.0, 5.0},
    {"iphone_table.jpg", 2.0, 5.0},      {"iphone_upright.jpg", 2.0, 5.0}, {"module_raw_grille.jpg", 2.0, 5.0},
    {"module_table.jpg", 2.0, 5.0},      {"stand_tilted.jpg", 2.0, 5.0},   {"webcam_lightbox.jpg", 2.0, 5.0},
    {"xiaomi_table.jpg", 2.0, 5.0},      {"xiaomi_upright.jpg", 2.0, 5.0}, {"xiaomi_window.jpg", 2.0, 5.0},
};

const PoseBound& boundOf(const std::string& image) {
  const auto found = std::find_if(std::begin(kBounds), std::end(kBounds), [&](const PoseBound& b) {
    return b.image == image;
  });
  if (found == std::end(kBounds)) throw std::runtime_error("no pose bound for " + image);
  return *found;
}

// The mean distance between neighbouring patch centres in the photograph.
double seenPitch(const kcPhotoTruth& truth) {
  double sum = 0;
  int n = 0;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 6; ++col) {
      const kcVector<2>& c = truth.centres[static_cast<std::size_t>(6 * row + col)];
      if (col < 5) sum += (truth.centres[static_cast<std::size_t>(6 * row + col + 1)] - c).length(), ++n;
      if (row < 3) sum += (truth.centres[static_cast<std::size_t>(6 * row + col + 6)] - c).length(), ++n;
    }
  return sum / n;
}

}  // namespace

TEST(PhotoTargetFinder, FindsEveryChartWithinTheSlantLimitAndPlacesItsPatches) {
  const std::optional<std::string> folder = kfPhotoFolder();
  if (!folder) GTEST_SKIP() << "no folder of photographs (COLC_PHOTO_DIR)";
  const std::vector<kcVector<2>> unit = kfCommonChartPatchCentres(1000);
  const double unitPitch = unit[1].x() - unit[0].x();
  const kcTargetSearchParams params;
  for (const kcPhotoTruth& truth : kfPhotoTruths()) {
    SCOPED_TRACE(truth.image);
    const long width = std::lround(1000 * seenPitch(truth) / unitPitch);
    kcPelBuffer<unsigned char> reference, view;
    kfPelRGBToI(kfCommonChart(width), reference);
    kfPelRGBToI(kfReadPhoto(*folder, truth), view);
    const kcTargetMatch match = kfFindTarget(view, reference, params);

    // The slant is an estimate, good to a few degrees: a chart near the
    // limit may be refused as too tilted, but not lost.
    if (!match.found()) {
      EXPECT_TRUE(truth.tiltDegrees > 30 && match.finding == keTargetFinding::eTooTilted)
          << "finding " << static_cast<int>(match.finding) << " at a slant of about " << truth.tiltDegrees;
      continue;
    }
    const std::vector<kcVector<2>> centres = kfCommonChartPatchCentres(width);
    double sum = 0, worst = 0;
    for (std::size_t i = 0; i < 24; ++i) {
      const double error = (match.pose.mapPoint(centres[i]) - truth.centres[i]).length();
      sum += error;
      worst = std::max(worst, error);
    }
    std::cout << truth.image << ": score " << match.score << ", scale " << match.scale << ", turn "
              << match.rotationDegrees << ", tilt " << match.tiltDegrees << ", pose error mean " << sum / 24
              << " max " << worst << " pels\n";
    const PoseBound& bound = boundOf(truth.image);
    EXPECT_LE(sum / 24, bound.mean);
    EXPECT_LE(worst, bound.max);
  }
}
