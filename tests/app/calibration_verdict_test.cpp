// The rule by which colc decides whether a calibration helped, on numbers.
#include "app/calibration_verdict.h"

#include <gtest/gtest.h>

namespace {

using Planes = std::array<double, 3>;

const Planes kBefore{30.0, 25.0, 36.0};

VerdictEvidence evidence(const Planes& after, const Planes& clipped = {}, ExposureEdge edge = ExposureEdge::none) {
  return {kBefore, after, clipped, 0.3, edge};
}

kcColorCalibrationParams rangeOf(double start, double end, double step = 0.0) {
  kcColorCalibrationParams params;
  params.exposureRange(kcRange(start, end));
  params.minExposureStepSize(step);
  return params;
}

}  // namespace

TEST(CalibrationVerdict, EveryPlaneMustBeAThirdCloserOrSmall) {
  // Closer by a third on every plane, small in absolute terms, or both.
  for (const Planes& after : {Planes{19.9, 16.6, 23.9}, Planes{2.0, 1.0, 0.4}, Planes{19.9, 2.0, 0.0}}) {
    const CalibrationVerdict v = judgeCalibration(evidence(after));
    EXPECT_TRUE(v.helped) << after[0];
    EXPECT_TRUE(v.reasons.empty());
  }
  // Already calibrated: nothing to take off, and nothing to condemn.
  EXPECT_TRUE(judgeCalibration({{1.5, 1.2, 1.9}, {1.5, 1.2, 1.9}, {}, 0.02, ExposureEdge::none}).helped);

  // One plane short of a third names that plane with its numbers.
  CalibrationVerdict v = judgeCalibration(evidence({20.5, 2.0, 1.0}));
  EXPECT_FALSE(v.helped);
  ASSERT_EQ(v.reasons.size(), 1u);
  EXPECT_EQ(v.reasons[0], "red is not clearly closer to the reference (mean absolute difference 30.00 -> 20.50)");
  // Worse on some planes, as a search that ran off gives.
  v = judgeCalibration(evidence({44.6, 47.8, 35.0}));
  ASSERT_EQ(v.reasons.size(), 1u);
  EXPECT_EQ(v.reasons[0],
            "red, green and blue are not clearly closer to the reference (mean absolute difference 30.00 -> 44.60, "
            "25.00 -> 47.80 and 36.00 -> 35.00)");
}

TEST(CalibrationVerdict, ClippingCountsWhereverTheExposureEnded) {
  const Planes good{1.0, 1.0, 1.0}, clipped{0.05, 0.41, 0.12};
  EXPECT_TRUE(judgeCalibration(evidence(good, {0.10, 0.10, 0.10}, ExposureEdge::top)).helped);
  CalibrationVerdict inside = judgeCalibration(evidence(good, clipped, ExposureEdge::none));
  EXPECT_FALSE(inside.helped);
  EXPECT_EQ(inside.reasons.at(0),
            "the calibrated settings (exposure 0.300000 s) leave 41% of the green and 12% of the blue samples at 0 "
            "or 255");

  CalibrationVerdict v = judgeCalibration(evidence(good, clipped, ExposureEdge::top));
  EXPECT_FALSE(v.helped);
  ASSERT_EQ(v.reasons.size(), 1u);
  EXPECT_EQ(v.reasons[0],
            "the exposure ended at the top of its range (0.300000 s) with 41% of the green and 12% of the blue "
            "samples at 0 or 255");
  v = judgeCalibration(evidence(good, clipped, ExposureEdge::both));
  EXPECT_NE(v.reasons.at(0).find("ended at its fixed value (0.300000 s)"), std::string::npos) << v.reasons[0];

  // Both reasons at once, the differences first.
  v = judgeCalibration(evidence({44.6, 1.0, 1.0}, clipped, ExposureEdge::bottom));
  ASSERT_EQ(v.reasons.size(), 2u);
  EXPECT_EQ(v.reasons[0].rfind("red is not", 0), 0u);
  EXPECT_EQ(v.reasons[1].rfind("the exposure ended at the bottom of its range", 0), 0u);
}

TEST(CalibrationVerdict, ExposureEdgeAllowsForTheStepAndIgnoresAnExposureLeftAlone) {
  const kcColorCalibrationParams range = rangeOf(1e-3, 0.3);
  EXPECT_EQ(exposureEdgeOf(range, 0.3), ExposureEdge::top);
  EXPECT_EQ(exposureEdgeOf(range, 1e-3), ExposureEdge::bottom);
  EXPECT_EQ(exposureEdgeOf(range, 0.299), ExposureEdge::none);
  EXPECT_EQ(exposureEdgeOf(range, 1e-4), ExposureEdge::bottom);  // kept from the start, below the range
  EXPECT_EQ(exposureEdgeOf(rangeOf(0.05, 0.05), 0.05), ExposureEdge::both);
  // On a 0.007 s grid the top of 0.3 s becomes 43 steps, 0.301 s.
  EXPECT_EQ(exposureEdgeOf(rangeOf(1e-3, 0.3, 0.007), 0.301), ExposureEdge::top);
  EXPECT_EQ(exposureEdgeOf(rangeOf(1e-3, 0.3, 0.007), 0.294), ExposureEdge::none);

  kcColorCalibrationParams fixed = range;
  fixed.isExposureEnabled(false);
  EXPECT_EQ(exposureEdgeOf(fixed, 0.3), ExposureEdge::none);
}

TEST(CalibrationVerdict, ClippedSharesCountBothEndsWhereTheReferenceIsNotClippedItself) {
  kcPelBuffer<unsigned char> dark(4, 5), mixed(4, 5), bright(4, 5), grey(4, 5), blackTopRow(4, 5);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 4; ++x) {
      dark.pointToRow(y)[x] = 0;
      mixed.pointToRow(y)[x] = static_cast<unsigned char>(y == 0 ? 255 : y == 1 && x == 0 ? 0 : 128);
      bright.pointToRow(y)[x] = 254;
      grey.pointToRow(y)[x] = 128;
      blackTopRow.pointToRow(y)[x] = static_cast<unsigned char>(y == 0 ? 0 : 100);
    }
  const kc3PlanePelBuffer view(dark, mixed, bright);
  EXPECT_EQ(clippedShares(view, kc3PlanePelBuffer(grey, grey, grey)), (Planes{1.0, 0.25, 0.0}));
  EXPECT_EQ(clippedShares(view, kc3PlanePelBuffer(blackTopRow, blackTopRow, dark)), (Planes{1.0, 1.0 / 16, 0.0}));
}
