// Calibration from the real photographs of the 24-patch chart, as colc fit
// --find-target makes it with chart:24-patch: every chart at a slant up to
// 30 degrees is found, and the calibration lowers the photo's colour error
// well below the photo's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "host/charts/common_chart.h"
#include "app/photo_fit.h"
#include "support/photo_set.h"

TEST(PhotoFit, FindsEveryChartWithinTheSlantLimitAndNeverMakesItsColoursWorse) {
  const std::vector<kcPhotoTruth> photosAtHand = kfPhotosAtHand();
  // As colc fit draws the chart for a photo: 0.4 of its longer side, looked
  // for from a quarter of that size up.
  kcTargetSearchParams search;
  search.minScale = 0.25;
  for (const kcPhotoTruth& truth : photosAtHand) {
    if (truth.tiltDegrees > 30) continue;
    SCOPED_TRACE(truth.image);
    const kc3PlanePelBuffer photo = kfReadPhoto(truth);
    const kc3PlanePelBuffer chart = kfCommonChart(std::lround(0.4 * std::max(photo.width(), photo.height())));
    const PhotoFit fit = fitPhoto(photo, chart, true, search);
    std::cout << truth.image << ": CIEDE2000 mean as is " << fit.colour.start.mean << ", corrected "
              << fit.colour.corrected.mean << "\n";
    // Measured: corrected 0.15 to 0.67 of the error as is.
    EXPECT_TRUE(fit.helped);
    EXPECT_LE(fit.colour.corrected.mean, 0.75 * fit.colour.start.mean);
  }
}
