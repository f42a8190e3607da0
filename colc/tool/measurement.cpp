#include "colc/tool/measurement.h"

#include <array>
#include <vector>

#include "colc/balance/balance.h"
#include "colc/tool/pose.h"

namespace {

// Absolute difference: its mean grows with the mismatch of the two images.
constexpr int kAbsoluteDifference = 2;

kcHistoStats differenceStats(const kcPelBuffer_const<unsigned char>& a, const kcPelBuffer_const<unsigned char>& b) {
  std::vector<unsigned long> histogram(256, 0);
  kfPelHistogram(kfPelSub(a, b, kAbsoluteDifference), histogram);
  return kcHistoStats(histogram, false);
}

std::array<kcPelDifferenceMoments, 3> planeDifferenceMoments(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  return {kfPelAbsDifferenceMoments(a.plane0(), b.plane0()), kfPelAbsDifferenceMoments(a.plane1(), b.plane1()),
          kfPelAbsDifferenceMoments(a.plane2(), b.plane2())};
}

}  // namespace

void kfPlaneDifferenceStats(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b, kcHistoStats& stats0,
                            kcHistoStats& stats1, kcHistoStats& stats2) {
  const kcHistoStats s0 = differenceStats(a.plane0(), b.plane0());
  const kcHistoStats s1 = differenceStats(a.plane1(), b.plane1());
  const kcHistoStats s2 = differenceStats(a.plane2(), b.plane2());
  stats0 = s0;
  stats1 = s1;
  stats2 = s2;
}

kcColorCalibrationMeasurement kfMeasureColorView(const kcColorCalibrationParams& params,
                                                 const kc3PlanePelBuffer& referenceImage,
                                                 const kc3PlanePelBuffer& view) {
  kcColorCalibrationMeasurement m;
  m.pelMappingUsed = params.allowPelMapping();
  // The moments give the histograms' statistics without a difference image
  // or a histogram: the same means to the bit (both divide the exact sum by
  // the count), the standard deviations from exact sums of squares.
  const auto difference = planeDifferenceMoments(view, referenceImage);
  m.differenceSum = (difference[1].mean() + difference[0].mean()) + difference[2].mean();

  if (params.allowPelMapping()) {
    try {
      kfComputeColorCalibration(view, referenceImage, m.results, nullptr, 0);
    } catch (const kcException&) {
      // A fit that fails leaves the results empty (the fit stores them only
      // on success); the measurement still counts by its differences.
    }
  }
  return m;
}

kcColorCalibrationMeasurement kfMeasureColorImages(const kcColorCalibrationParams& params,
                                                   const kc3PlanePelBuffer& referenceImage,
                                                   const kcAffineSamplingParams& sampling,
                                                   const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second) {
  const auto noise = planeDifferenceMoments(first, second);
  kcColorCalibrationMeasurement m =
      kfMeasureColorView(params, referenceImage, kfAffineTransformColorImage(first, sampling));
  m.noiseSDevSum = (noise[1].sDev() + noise[0].sDev()) + noise[2].sDev();
  return m;
}
