// The single-plane fit: the numbers of kfFitChannel into the caller's
// result, then the result diagnostics.
#include "colc/balance/balance.h"
#include "colc/balance/internal/channel_fit.h"

void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  const kcChannelFit fit = kfFitChannel(src, mask, dst, diag, diagFlags);
  // Written only now, after every check and the search have succeeded.
  result.init(fit.gain, fit.offset, fit.proportionActiveSrcPels, fit.proportionActiveDstPels,
              fit.proportionActivePels, fit.rmsError);
  if (diag != nullptr && (diagFlags & kColorCalibrationDiagResults) != 0) {
    kfSMDAddImage(diag, diagFlags, kfPelMap(src, result.pelmap()), "mapped src");
    kfSketchBalanceText(result, diag, diagFlags);
  }
}

void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags) {
  kfComputeColorCalibration(src, kcPelBuffer_const<unsigned char>(), dst, result, diag, diagFlags);
}
