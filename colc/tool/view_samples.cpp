// A view's samples on a pose's reference grid, through whichever sampling
// the pose was found with.
#include "colc/host/perspective.h"
#include "colc/tool/pose.h"

namespace {

kc3PlanePelBuffer perspectiveSamples(const kc3PlanePelBuffer& image, const kcPerspectiveSamplingParams& sampling) {
  return kc3PlanePelBuffer(kfPerspectiveTransformImage(image.plane0(), sampling),
                           kfPerspectiveTransformImage(image.plane1(), sampling),
                           kfPerspectiveTransformImage(image.plane2(), sampling));
}

}  // namespace

kc3PlanePelBuffer kfViewSamples(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose) {
  if (pose.perspective) return perspectiveSamples(acquired, pose.perspective->sampling);
  return kfAffineTransformColorImage(acquired, pose.sampling);
}

kc3PlanePelBuffer kfViewPelsAtSamples(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose) {
  if (pose.perspective) {
    kcPerspectiveSamplingParams nearest = pose.perspective->sampling;
    nearest.nearestPel = true;
    return perspectiveSamples(acquired, nearest);
  }
  const kcAffineSamplingParams& sampling = pose.sampling;
  return kfAffineTransformColorImage(acquired, kcAffineSamplingParams(sampling.affineRectangle(),
                                                                      sampling.xNumSamples(), sampling.yNumSamples(),
                                                                      kcAffineSamplingParams::eNearestNeighbor));
}
