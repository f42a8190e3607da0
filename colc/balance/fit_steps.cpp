#include "colc/balance/internal/fit_steps.h"

#include <cmath>

#include "colc/balance/balance.h"
#include "colc/records/errors.h"

namespace {

bool isEmpty(const kcRectangle<long>& r) { return r.width() == 0 || r.height() == 0; }

}  // namespace

void kfRecordFitInputs(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                       const kcPelBuffer_const<unsigned char>& dst, kcDiagObject* diag, unsigned long diagFlags) {
  if (diag == nullptr || (diagFlags & kColorCalibrationDiagInputs) == 0) return;
  kfSMDAddImage(diag, diagFlags, src, "Src");
  if (mask.isBound()) kfSMDAddImage(diag, diagFlags, mask, "mask");
  kfSMDAddImage(diag, diagFlags, dst, "Dst");
}

kcPelRect kfFitWindow(const kcPelBuffer_const<unsigned char>& src, const kcPelBuffer_const<unsigned char>& mask,
                      const kcPelBuffer_const<unsigned char>& dst) {
  using BadImages = kcColorCalibrationDefs::BadImages;
  if (!src.isBound() || !dst.isBound()) throw BadImages();
  const kcRectangle<long> common = src.window().rectangle().intersect(dst.window().rectangle(), false);
  if (isEmpty(common)) throw BadImages();
  if (mask.isBound()) {
    const kcRectangle<long> maskedCommon = common.intersect(mask.window().rectangle(), false);
    if (isEmpty(maskedCommon)) throw BadImages();
    // The joint table reads the mask at every position of the common window.
    // A mask that covers only part of it is refused rather than guessed at.
    if (!(maskedCommon == common)) throw BadImages();
  }
  return kcPelRect(common);
}

kcPelBuffer_const<unsigned char> kfRestricted(kcPelBuffer_const<unsigned char> plane, const kcPelRect& window) {
  plane.window(window, false);
  return plane;
}

// A source of one value has no spread to match: 1.0 stands in.
void kfMomentMatchingStart(const std::vector<unsigned long>& source, const std::vector<unsigned long>& destination,
                           double& gain, double& offset) {
  const kcHistoStats statsS(source, false);
  const kcHistoStats statsD(destination, false);
  double sDevS = statsS.sDev();
  if (sDevS == 0.0 || std::isnan(sDevS)) sDevS = 1.0;
  gain = statsD.sDev() / sDevS;
  offset = statsD.mean() - statsS.mean() * gain;
}

void kfSetProportions(const kcActivityCounts& counts, kcChannelFit& fit) {
  const std::int64_t usable = counts.area - counts.maskedOut;
  const auto share = [usable](std::int64_t count) { return static_cast<double>(count) / static_cast<double>(usable); };
  fit.proportionActiveSrcPels = share(usable - counts.saturatedSource);
  fit.proportionActiveDstPels = share(usable - counts.saturatedDestination);
  fit.proportionActivePels = share(counts.active);
}
