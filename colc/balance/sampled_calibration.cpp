// The single-plane fit against a destination resampled onto the source's grid.
#include <vector>

#include "colc/balance/balance.h"
#include "colc/balance/internal/sample_destination.h"

void kfSampleDestination(const kcAffineSamplingParams& samplingParams, const kcPelBuffer_const<unsigned char>& dst,
                         kcPelBuffer<unsigned char>& sampledDst, kcPelBuffer<unsigned char>& sampledDstMask) {
  sampledDstMask = kcPelBuffer<unsigned char>();
  if (samplingParams.willClip(dst)) {
    bool clipped = false;
    kfAffineTransformImage(dst, sampledDst, sampledDstMask, samplingParams, clipped);
    // The host marks inside samples with any non-zero value; the fit takes 0 and 255 only.
    std::vector<unsigned char> binary(256, 255);
    binary[0] = 0;
    kfPelMap(sampledDstMask, binary, sampledDstMask);
  } else {
    kfAffineTransformImage(dst, sampledDst, samplingParams);
  }
}

namespace {

// The caller's mask and the sampled destination mask both lie in the
// source's geometry; the fit uses a position only when both let it through.
// Either one alone when the other is unbound, so an unbound caller's mask
// gives exactly the unmasked fit.
kcPelBuffer_const<unsigned char> combinedMask(const kcPelBuffer_const<unsigned char>& callerMask,
                                              const kcPelBuffer<unsigned char>& sampledDstMask) {
  if (!callerMask.isBound()) return sampledDstMask;
  if (!sampledDstMask.isBound()) return callerMask;
  return kfPelMin(callerMask, sampledDstMask);
}

}  // namespace

void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcAffineSamplingParams& samplingParams,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  kcPelBuffer<unsigned char> sampledDst;
  kcPelBuffer<unsigned char> sampledDstMask;
  kfSampleDestination(samplingParams, dst, sampledDst, sampledDstMask);
  if (diag != nullptr && diagFlags != 0) {
    kfSMDAddImage(diag, diagFlags, src, "src");
    kfSMDAddImage(diag, diagFlags, dst, "dst");
    kfSMDAddImage(diag, diagFlags, sampledDst, "sampledDst");
    if (sampledDstMask.isBound()) kfSMDAddImage(diag, diagFlags, sampledDstMask, "sampledDstMask");
  }
  kfComputeColorCalibration(src, combinedMask(mask, sampledDstMask), sampledDst, result, diag, diagFlags);
}

void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcAffineSamplingParams& samplingParams,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  kfComputeColorCalibration(src, kcPelBuffer_const<unsigned char>(), samplingParams, dst, result, diag, diagFlags);
}
