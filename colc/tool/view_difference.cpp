#include "colc/tool/view_difference.h"

#include "colc/tool/measurement.h"
#include "colc/tool/pose.h"

std::array<double, 3> kfViewDifference(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                                       const kcColorCalibrationResult* correction) {
  kc3PlanePelBuffer reference;
  kcAffineSamplingParams sampling;
  kfFindCalibrationPose(acquired, calibrationImage, reference, sampling, nullptr, 0);
  kc3PlanePelBuffer view = kfAffineTransformColorImage(acquired, sampling);
  if (correction != nullptr) view = correction->pelMapImage(view);
  kcHistoStats d0, d1, d2;
  kfPlaneDifferenceStats(view, reference, d0, d1, d2);
  return {d0.mean(), d1.mean(), d2.mean()};
}
