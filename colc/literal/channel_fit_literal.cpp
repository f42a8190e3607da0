#include "colc/literal/channel_fit_literal.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "colc/balance/internal/fit_steps.h"
#include "colc/host/improc.h"
#include "colc/literal/gain_offset_search_literal.h"
#include "colc/literal/joint_table_literal.h"
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

// 255 for the unsaturated values 1..254, 0 for the saturated 0 and 255.
std::vector<unsigned char> saturationTable() {
  std::vector<unsigned char> table(256, 255);
  table[0] = 0;
  table[255] = 0;
  return table;
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

kcChannelFit kfFitChannelLiteral(const Plane& src, const Plane& mask, const Plane& dst, kcDiagObject* diag,
                                 unsigned long diagFlags) {
  kfRecordFitInputs(src, mask, dst, diag, diagFlags);
  const kcPelRect commonWindow = kfFitWindow(src, mask, dst);
  const bool masked = mask.isBound();
  if (masked) {
    // Only 0 (ignore) and 255 (use) are meaningful, anywhere in the mask. A
    // histogram of any length but 256 cannot be read as one of 8-bit pels.
    const Histogram maskHistogram = histogramOf(mask);
    if (maskHistogram.size() != 256) throw BadImages();
    if (static_cast<long>(maskHistogram[0] + maskHistogram[255]) != mask.width() * mask.height())
      throw BadImages();
  }

  const Plane s = kfRestricted(src, commonWindow);
  const Plane d = kfRestricted(dst, commonWindow);
  const Plane m = masked ? kfRestricted(mask, commonWindow) : Plane();

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

  const std::int64_t area = static_cast<std::int64_t>(commonWindow.width()) * commonWindow.height();
  const std::int64_t activeCount = static_cast<std::int64_t>(activeHistogram[255]);
  kcChannelFit fit;
  if (activeCount < area - z) {
    Histogram source;
    Histogram destination;
    activeHistograms(active, s, d, source, destination);
    kfMomentMatchingStart(source, destination, fit.gain, fit.offset);
  } else {
    kfMomentMatchingStart(sourceCounts, destinationCounts, fit.gain, fit.offset);
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

  kcActivityCounts counts;
  counts.area = area;
  counts.maskedOut = z;
  counts.saturatedSource = static_cast<std::int64_t>(sourceCounts[0] + sourceCounts[255]);
  counts.saturatedDestination = static_cast<std::int64_t>(destinationCounts[0] + destinationCounts[255]);
  counts.active = area - static_cast<std::int64_t>(activeHistogram[0]);
  kfSetProportions(counts, fit);
  return fit;
}
