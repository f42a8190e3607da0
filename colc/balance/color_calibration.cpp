// Colour images: each plane fitted on its own, or once for a grey pair.
#include <vector>

#include "colc/balance/balance.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

// Both images grey: planes 1 and 2 equal plane 0 in each. Stops at the first difference.
bool isGreyPair(const kc3PlanePelBuffer& src, const kc3PlanePelBuffer& dst) {
  return kfPelEqual(src.plane0(), src.plane1()) && kfPelEqual(src.plane0(), src.plane2()) &&
         kfPelEqual(dst.plane0(), dst.plane1()) && kfPelEqual(dst.plane0(), dst.plane2());
}

Plane planeOf(const kc3PlanePelBuffer& image, int k) {
  return k == 0 ? image.plane0() : (k == 1 ? image.plane1() : image.plane2());
}

// fitPlane(srcPlane, dstPlane, channel) fits one plane. The caller's result
// is written only after every plane has been fitted.
template <class FitPlane>
void fitPlanes(const kc3PlanePelBuffer& src, const kc3PlanePelBuffer& dst, kcColorCalibrationResultInternal& result,
               const FitPlane& fitPlane) {
  std::vector<kcColorCalibrationChannelResultInternal> channels(3);
  if (isGreyPair(src, dst)) {
    fitPlane(src.plane0(), dst.plane0(), channels[0]);
    channels[1] = channels[0];
    channels[2] = channels[0];
  } else {
    for (int k = 0; k < 3; ++k) fitPlane(planeOf(src, k), planeOf(dst, k), channels[k]);
  }
  result.init(channels);
}

}  // namespace

void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcPelBuffer_const<unsigned char>& mask,
                               const kc3PlanePelBuffer& dst, kcColorCalibrationResultInternal& result,
                               kcDiagObject* diag, unsigned long diagFlags) {
  fitPlanes(src, dst, result, [&](const Plane& s, const Plane& d, kcColorCalibrationChannelResultInternal& channel) {
    kfComputeColorCalibration(s, mask, d, channel, diag, diagFlags);
  });
}

void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kc3PlanePelBuffer& dst,
                               kcColorCalibrationResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  kfComputeColorCalibration(src, Plane(), dst, result, diag, diagFlags);
}

void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcPelBuffer_const<unsigned char>& mask,
                               const kcAffineSamplingParams& samplingParams, const kc3PlanePelBuffer& dst,
                               kcColorCalibrationResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  fitPlanes(src, dst, result, [&](const Plane& s, const Plane& d, kcColorCalibrationChannelResultInternal& channel) {
    kfComputeColorCalibration(s, mask, samplingParams, d, channel, diag, diagFlags);
  });
}

void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcAffineSamplingParams& samplingParams,
                               const kc3PlanePelBuffer& dst, kcColorCalibrationResultInternal& result,
                               kcDiagObject* diag, unsigned long diagFlags) {
  kfComputeColorCalibration(src, Plane(), samplingParams, dst, result, diag, diagFlags);
}
