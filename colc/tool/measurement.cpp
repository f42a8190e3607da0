#include "colc/tool/measurement.h"

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

kcColorCalibrationMeasurement kfMeasureColorImages(const kcColorCalibrationParams& params,
                                                   const kc3PlanePelBuffer& referenceImage,
                                                   const kcAffineSamplingParams& sampling,
                                                   const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second) {
  kcHistoStats noise0, noise1, noise2;
  kfPlaneDifferenceStats(first, second, noise0, noise1, noise2);
  kcColorCalibrationMeasurement m;
  m.noiseSDevSum = (noise1.sDev() + noise0.sDev()) + noise2.sDev();
  m.pelMappingUsed = params.allowPelMapping();

  const kc3PlanePelBuffer resampled = kfAffineTransformColorImage(first, sampling);
  kcHistoStats diff0, diff1, diff2;
  kfPlaneDifferenceStats(resampled, referenceImage, diff0, diff1, diff2);
  m.differenceSum = (diff1.mean() + diff0.mean()) + diff2.mean();

  if (params.allowPelMapping()) {
    try {
      kfComputeColorCalibration(resampled, referenceImage, m.results, nullptr, 0);
    } catch (const kcException&) {
      // A fit that fails leaves the results empty (the fit stores them only
      // on success); the measurement still counts by its differences.
    }
  }
  return m;
}
