#include "colc/tool/view_difference.h"

#include "colc/tool/measurement.h"
#include "colc/tool/pose.h"

kcViewOnGrid kfViewOnGrid(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage) {
  kcCalibrationPose pose;
  kfFindCalibrationPose(acquired, calibrationImage, pose.referenceImage, pose.sampling, nullptr, 0);
  return kfViewOnGrid(acquired, pose);
}

kcViewOnGrid kfViewOnGrid(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose) {
  return {kfViewSamples(acquired, pose), pose.referenceImage};
}

std::array<double, 3> kfViewDifference(const kcViewOnGrid& grid, const kcColorCalibrationResult* correction) {
  const kc3PlanePelBuffer view = correction != nullptr ? correction->pelMapImage(grid.view) : grid.view;
  kcHistoStats d0, d1, d2;
  kfPlaneDifferenceStats(view, grid.reference, d0, d1, d2);
  return {d0.mean(), d1.mean(), d2.mean()};
}

std::array<double, 3> kfViewDifference(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                                       const kcColorCalibrationResult* correction) {
  return kfViewDifference(kfViewOnGrid(acquired, calibrationImage), correction);
}
