#include <gtest/gtest.h>

#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

kcPelBuffer<unsigned char> ramp(int slope, int start) {
  return makePlane(24, 16, [=](long x, long y) { return start + slope * x + y + 3; });
}

std::vector<double> planeFit(const Plane& src, const Plane& dst) {
  kcColorCalibrationChannelResultInternal result;
  kfComputeColorCalibration(src, dst, result, nullptr, 0);
  return fieldsOf(result);
}

}  // namespace

TEST(ColorCalibration, GreyPairIsFittedOnceColourPairsPlaneByPlaneAndAFailingPlaneChangesNothing) {
  const kc3PlanePelBuffer grey(ramp(2, 0), ramp(2, 0), ramp(2, 0)), greyDst(ramp(3, 5), ramp(3, 5), ramp(3, 5));
  // Planes 0 and 1 equal but plane 2 not: a colour image, fitted plane by plane.
  const kc3PlanePelBuffer colour(ramp(2, 0), ramp(2, 0), ramp(4, 20)), colourDst(ramp(3, 5), ramp(1, 40), ramp(5, 1));
  kcColorCalibrationResultInternal result, sampled;
  kcDiagObject diag;
  kfComputeColorCalibration(grey, greyDst, result, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "Dst"}));
  const std::vector<double> greyFit = planeFit(grey.plane0(), greyDst.plane0());
  for (const auto& c : result.results()) EXPECT_EQ(fieldsOf(c), greyFit);

  kfComputeColorCalibration(colour, colourDst, result, nullptr, 0);
  const kcAffineSamplingParams atPelCentres(kcAffineRectangle(kcVector<2>(12.0, 8.0), 24, 16, kcRadian(0), kcRadian(0)),
                                            24, 16, kcAffineSamplingParams::eNearestNeighbor);
  kfComputeColorCalibration(colour, atPelCentres, colourDst, sampled, nullptr, 0);
  EXPECT_EQ(fieldsOf(result.results().at(1)), planeFit(colour.plane1(), colourDst.plane1()));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(fieldsOf(sampled.results().at(k)), fieldsOf(result.results()[k]));

  // A failing plane leaves the result as it was.
  const kc3PlanePelBuffer saturated(ramp(2, 0), ramp(3, 0), makePlane(24, 16, 255));
  kfComputeColorCalibration(colourDst, colourDst, result, nullptr, 0);
  kcDiagObject failing;
  EXPECT_THROW(kfComputeColorCalibration(saturated, colourDst, result, &failing, kColorCalibrationDiagInputs),
               kcColorCalibrationDefs::BadImages);
  EXPECT_EQ(recordNames(failing).size(), 6u);  // the third plane's inputs are shown before its refusal
  ASSERT_EQ(result.results().size(), 3u);
  for (const auto& c : result.results()) EXPECT_EQ(c.gain(), 1.0);
}
