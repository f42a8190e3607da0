// The single-plane fit in one pass over the pels: everything the fit needs
// from the images follows from the joint table, and the search scores its
// candidates on sums over the table's rows.
#include "colc/balance/internal/channel_fit.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "colc/balance/internal/fast_evaluation.h"
#include "colc/balance/internal/fast_search.h"
#include "colc/balance/internal/fit_steps.h"
#include "colc/balance/internal/joint_stats.h"
#include "colc/records/errors.h"

namespace {

using Plane = kcPelBuffer_const<unsigned char>;

std::int64_t rowTotal(const kcJointTableRow& row) {
  std::int64_t total = 0;
  for (std::uint32_t count : row) total += count;
  return total;
}

}  // namespace

kcChannelFit kfFitChannel(const Plane& src, const Plane& mask, const Plane& dst, kcDiagObject* diag,
                          unsigned long diagFlags) {
  kfRecordFitInputs(src, mask, dst, diag, diagFlags);
  const kcPelRect commonWindow = kfFitWindow(src, mask, dst);
  const bool masked = mask.isBound();

  // The one pass. The table holds every usable position of the common
  // window; the mask is read there by the pass and around it only to see
  // that it holds nothing but 0 and 255.
  const auto table = std::make_unique_for_overwrite<kcJointTable>();  // the pass zeroes it
  const kcMaskTally tally = kfGatherJointTable(kfRestricted(src, commonWindow),
                                               masked ? kfRestricted(mask, commonWindow) : Plane(),
                                               kfRestricted(dst, commonWindow), *table);
  if (masked && !(tally.binary && kfIsBinaryOutside(mask, commonWindow)))
    throw kcColorCalibrationDefs::BadImages();

  return kfFitChannelFromTable(*table, tally, static_cast<std::int64_t>(commonWindow.width()) * commonWindow.height());
}

kcChannelFit kfFitChannelFromTable(const kcJointTable& table, const kcMaskTally& tally, std::int64_t area) {
  // Active pairs are the value rows' columns 1..254: their row and column
  // sums are the histograms of the active source and destination pels.
  const kcJointTableSums sums = kfSumJointTable(table);
  std::vector<unsigned long> source(256, 0);
  std::vector<unsigned long> destination(256, 0);
  kcActivityCounts counts;
  for (int v = 1; v <= 254; ++v) {
    const kcJointTableRow& row = table[kfJointTableRow(v)];
    source[v] = sums.rowCount[v] - row[0] - row[255];
    destination[v] = sums.valueColumnCount[v];
    counts.active += static_cast<std::int64_t>(source[v]);
  }
  if (counts.active == 0) throw kcColorCalibrationDefs::BadImages();

  kcChannelFit fit;
  kfMomentMatchingStart(source, destination, fit.gain, fit.offset);
  fit.startGain = fit.gain;
  fit.startOffset = fit.offset;

  const kcFastEvaluation evaluation(table, sums);
  fit.search = kfSearchGainOffsetFast([&evaluation](double g, double o) { return evaluation(g, o); }, fit.gain,
                                      fit.offset);
  fit.gain = fit.search.gain;
  fit.offset = fit.search.offset;
  fit.rmsError = fit.search.rmsError;

  const kcJointTableRow& dark = table[kDarkSaturatedRow];
  const kcJointTableRow& bright = table[kBrightSaturatedRow];
  counts.area = area;
  counts.maskedOut = tally.zeros;
  counts.saturatedSource = rowTotal(dark) + rowTotal(bright);
  counts.saturatedDestination = static_cast<std::int64_t>(sums.valueColumnCount[0] + sums.valueColumnCount[255] +
                                                          dark[0] + dark[255] + bright[0] + bright[255]);
  kfSetProportions(counts, fit);
  return fit;
}
