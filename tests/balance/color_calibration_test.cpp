#include <gtest/gtest.h>

#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "support/test_planes.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

kcPelBuffer<unsigned char> ramp(int slope, int start) {
  return makePlane(24, 16, [=](long x, long y) { return (start + slope * x + y) % 250 + 3; });
}

kc3PlanePelBuffer colour(int s0, int s1, int s2) { return kc3PlanePelBuffer(ramp(s0, 0), ramp(s1, 9), ramp(s2, 20)); }

kcColorCalibrationChannelResultInternal planeFit(const Plane& src, const Plane& dst) {
  kcColorCalibrationChannelResultInternal result;
  kfComputeColorCalibration(src, dst, result, nullptr, 0);
  return result;
}

void expectSameChannel(const kcColorCalibrationChannelResultInternal& a,
                       const kcColorCalibrationChannelResultInternal& b) {
  EXPECT_EQ(a.gain(), b.gain());
  EXPECT_EQ(a.offset(), b.offset());
  EXPECT_EQ(a.rmsError(), b.rmsError());
  EXPECT_EQ(a.proportionActivePels(), b.proportionActivePels());
  EXPECT_EQ(a.pelmap(), b.pelmap());
}

}  // namespace

TEST(ColorCalibration, GreyPairIsFittedOnceAndCopied) {
  const kc3PlanePelBuffer src(ramp(2, 0), ramp(2, 0), ramp(2, 0));
  const kc3PlanePelBuffer dst(ramp(3, 5), ramp(3, 5), ramp(3, 5));
  kcColorCalibrationResultInternal result;
  kcDiagObject diag;
  kfComputeColorCalibration(src, dst, result, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "Dst"}));
  ASSERT_EQ(result.results().size(), 3u);
  expectSameChannel(result.results()[0], planeFit(src.plane0(), dst.plane0()));
  for (int k = 1; k < 3; ++k) expectSameChannel(result.results()[k], result.results()[0]);
}

TEST(ColorCalibration, ColourPairIsFittedPlaneByPlane) {
  const kc3PlanePelBuffer src = colour(2, 3, 4);
  const kc3PlanePelBuffer dst = colour(3, 2, 5);
  kcColorCalibrationResultInternal result;
  kcDiagObject diag;
  kfComputeColorCalibration(src, dst, result, &diag, kColorCalibrationDiagInputs);
  EXPECT_EQ(recordNames(diag), (std::vector<std::string>{"Src", "Dst", "Src", "Dst", "Src", "Dst"}));
  ASSERT_EQ(result.results().size(), 3u);
  expectSameChannel(result.results()[0], planeFit(src.plane0(), dst.plane0()));
  expectSameChannel(result.results()[1], planeFit(src.plane1(), dst.plane1()));
  expectSameChannel(result.results()[2], planeFit(src.plane2(), dst.plane2()));

  // Sampled at the pel centres of dst, each plane is fitted against itself resampled.
  const kcAffineSamplingParams sampling(kcAffineRectangle(kcVector<2>(12.0, 8.0), 24, 16, kcRadian(0), kcRadian(0)), 24,
                                        16, kcAffineSamplingParams::eNearestNeighbor);
  kcColorCalibrationResultInternal sampled;
  kfComputeColorCalibration(src, sampling, dst, sampled, nullptr, 0);
  for (int k = 0; k < 3; ++k) expectSameChannel(sampled.results().at(k), result.results()[k]);
}

TEST(ColorCalibration, AFailingPlaneLeavesTheResultAsItWas) {
  const kc3PlanePelBuffer src(ramp(2, 0), ramp(3, 0), makePlane(24, 16, 255));
  const kc3PlanePelBuffer dst = colour(3, 2, 5);
  kcColorCalibrationResultInternal result;
  kfComputeColorCalibration(dst, dst, result, nullptr, 0);
  kcDiagObject diag;
  EXPECT_THROW(kfComputeColorCalibration(src, dst, result, &diag, kColorCalibrationDiagInputs),
               kcColorCalibrationDefs::BadImages);
  EXPECT_EQ(recordNames(diag).size(), 6u);  // the third plane's inputs are shown before its refusal
  ASSERT_EQ(result.results().size(), 3u);
  for (const auto& channel : result.results()) EXPECT_EQ(channel.gain(), 1.0);
}
