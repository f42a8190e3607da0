#include "colc/balance/channel_fit.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "colc/balance/balance.h"
#include "colc/host/improc.h"
#include "colc/records/errors.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;
using Histogram = std::vector<unsigned long>;
using BadImages = kcColorCalibrationDefs::BadImages;

Histogram histogramOf(const Plane& plane) {
  Histogram histogram;
  kfPelHistogram(plane, histogram);
  return histogram;
}

Plane restricted(Plane plane, const kcPelRect& window) {
  plane.window(window, false);
  return plane;
}

bool isEmpty(const kcRectangle<long>& r) { return r.width() == 0 || r.height() == 0; }

// 255 for the unsaturated values 1..254, 0 for the saturated 0 and 255.
std::vector<unsigned char> saturationTable() {
  std::vector<unsigned char> table(256, 255);
  table[0] = 0;
  table[255] = 0;
  return table;
}

// Equal mean and standard deviation of the transferred source and the
// destination. A source of one value has no spread to match: 1.0 stands in.
void momentMatchingStart(const Histogram& source, const Histogram& destination, double& gain, double& offset) {
  const kcHistoStats statsS(source, false);
  const kcHistoStats statsD(destination, false);
  double sDevS = statsS.sDev();
  if (sDevS == 0.0 || std::isnan(sDevS)) sDevS = 1.0;
  gain = statsD.sDev() / sDevS;
  offset = statsD.mean() - statsS.mean() * gain;
}

// Histograms of the source and destination over the active positions only.
void activeHistograms(const Plane& active, const Plane& src, const Plane& dst, Histogram& source,
                      Histogram& destination) {
  kcLabeledProjectionModel<unsigned char> model;
  model.train(active);
  std::vector<Histogram> bySourceLabel;
  std::vector<Histogram> byDestinationLabel;
  kfLabelHistogram(model, src, bySourceLabel, true);
  kfLabelHistogram(model, dst, byDestinationLabel, true);
  source = bySourceLabel.at(255);
  destination = byDestinationLabel.at(255);
}

}  // namespace

kcChannelFit kfFitChannel(const Plane& src, const Plane& mask, const Plane& dst, kcDiagObject* diag,
                          unsigned long diagFlags) {
  const bool masked = mask.isBound();
  // The inputs are recorded before any check, so a refused fit shows them too.
  if (diag != nullptr && (diagFlags & kColorCalibrationDiagInputs) != 0) {
    kfSMDAddImage(diag, diagFlags, src, "Src");
    if (masked) kfSMDAddImage(diag, diagFlags, mask, "mask");
    kfSMDAddImage(diag, diagFlags, dst, "Dst");
  }

  // Own copies: they share the pels but restricting their windows leaves the caller's buffers alone.
  Plane s = src;
  Plane d = dst;
  if (!s.isBound() || !d.isBound()) throw BadImages();
  const kcRectangle<long> common = s.window().rectangle().intersect(d.window().rectangle(), false);
  if (isEmpty(common)) throw BadImages();
  const kcPelRect commonWindow(common);

  if (masked) {
    const kcRectangle<long> maskedCommon = common.intersect(mask.window().rectangle(), false);
    if (isEmpty(maskedCommon)) throw BadImages();
    // The joint table reads the mask at every position of the common window.
    // A mask that covers only part of it is refused rather than guessed at.
    if (!(maskedCommon == common)) throw BadImages();
    // Only 0 (ignore) and 255 (use) are meaningful, anywhere in the mask. A
    // histogram of any length but 256 cannot be read as one of 8-bit pels.
    const Histogram maskHistogram = histogramOf(mask);
    if (maskHistogram.size() != 256) throw BadImages();
    if (static_cast<long>(maskHistogram[0] + maskHistogram[255]) != mask.width() * mask.height())
      throw BadImages();
  }

  s.window(commonWindow, false);
  d.window(commonWindow, false);
  const Plane m = masked ? restricted(mask, commonWindow) : Plane();

  // 255 where source and destination are both unsaturated and the mask lets the position through.
  const std::vector<unsigned char> saturation = saturationTable();
  kcPelBuffer<unsigned char> active = kfPelMin(kfPelMap(s, saturation), kfPelMap(d, saturation));
  if (masked) active = kfPelMin(active, m);
  const Histogram activeHistogram = histogramOf(active);
  if (kcHistoStats(activeHistogram, false).histMax() == 0) throw BadImages();

  // Saturation counts over the usable positions of the common window: the
  // minimum with the mask turns masked-out positions into 0, and z of them
  // come off bin 0 again. (Counting over the common window, not the whole
  // images, keeps the proportions exact when the windows differ.)
  std::int64_t z = 0;
  Histogram sourceCounts = histogramOf(masked ? Plane(kfPelMin(s, m)) : s);
  Histogram destinationCounts = histogramOf(masked ? Plane(kfPelMin(d, m)) : d);
  if (masked) {
    z = static_cast<std::int64_t>(histogramOf(m)[0]);
    sourceCounts[0] -= static_cast<unsigned long>(z);
    destinationCounts[0] -= static_cast<unsigned long>(z);
  }

  const std::int64_t area = static_cast<std::int64_t>(common.width()) * common.height();
  const std::int64_t activeCount = static_cast<std::int64_t>(activeHistogram[255]);
  kcChannelFit fit;
  if (activeCount < area - z) {
    Histogram source;
    Histogram destination;
    activeHistograms(active, s, d, source, destination);
    momentMatchingStart(source, destination, fit.gain, fit.offset);
  } else {
    momentMatchingStart(sourceCounts, destinationCounts, fit.gain, fit.offset);
  }
  fit.startGain = fit.gain;
  fit.startOffset = fit.offset;

  // Saturated pels enter the table too: it covers every usable position.
  const auto table = std::make_unique<kcJointTable>();
  if (masked)
    kfBuildJointHistogram(s, m, d, *table);
  else
    kfBuildJointHistogram(s, d, *table);
  fit.search = kfRefineGainOffset(*table, fit.gain, fit.offset, fit.rmsError);

  const auto share = [&](std::int64_t count) {
    return static_cast<double>(count) / static_cast<double>(area - z);
  };
  const auto unsaturated = [&](const Histogram& counts) {
    return area - static_cast<std::int64_t>(counts[0] + counts[255]) - z;
  };
  fit.proportionActiveSrcPels = share(unsaturated(sourceCounts));
  fit.proportionActiveDstPels = share(unsaturated(destinationCounts));
  fit.proportionActivePels = share(area - static_cast<std::int64_t>(activeHistogram[0]));
  return fit;
}
