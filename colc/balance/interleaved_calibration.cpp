// The fit of interleaved colour images: the three planes' joint tables
// gathered in one pass over the pels where they lie, then each plane
// fitted from its table as the fit on planes fits it. The tables count
// pairs, so the order in which the pass meets them changes no bit.
#include <memory>
#include <string>

#include "colc/balance/balance.h"
#include "colc/balance/internal/channel_fit.h"
#include "colc/records/errors.h"

void kfFitInterleavedPels(const kcInterleavedPels<const unsigned char>& src,
                          const kcPelBuffer_const<unsigned char>& mask,
                          const kcInterleavedPels<const unsigned char>& dst, kcColorCalibrationResultInternal& result) {
  const kcPelRows<const unsigned char> s = kfPelRowsOf(src, "the camera image");
  const kcPelRows<const unsigned char> d = kfPelRowsOf(dst, "the reference image");
  if (s.width != d.width || s.height != d.height)
    throw kcColorCalibrationDefs::BadParams("the images differ in size: " + std::to_string(s.width) + " x " +
                                            std::to_string(s.height) + " and " + std::to_string(d.width) + " x " +
                                            std::to_string(d.height) + " pels");
  kcPelBuffer_const<unsigned char> covered = mask;
  if (mask.isBound()) {
    // The fit on planes refuses a mask that covers only part of the images.
    if (mask.width() < s.width || mask.height() < s.height) throw kcColorCalibrationDefs::BadImages();
    const kcPelRect& window = mask.window();
    covered.window({window.left, window.top, window.left + s.width, window.top + s.height}, false);
  }
  std::unique_ptr<kcJointTable> tables[3];
  for (auto& table : tables) table = std::make_unique_for_overwrite<kcJointTable>();  // the pass zeroes them
  const kcMaskTally tally = kfGatherJointTables(s, covered, d, {tables[0].get(), tables[1].get(), tables[2].get()});
  if (mask.isBound() && !(tally.binary && kfIsBinaryOutside(mask, covered.window())))
    throw kcColorCalibrationDefs::BadImages();
  std::vector<kcColorCalibrationChannelResultInternal> channels(3);
  for (std::size_t k = 0; k < 3; ++k) {
    const kcChannelFit fit = kfFitChannelFromTable(*tables[k], tally, static_cast<std::int64_t>(s.width) * s.height);
    channels[k].init(fit.gain, fit.offset, fit.proportionActiveSrcPels, fit.proportionActiveDstPels,
                     fit.proportionActivePels, fit.rmsError);
  }
  result.init(channels);
}
