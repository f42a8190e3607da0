#include "colc/records/result.h"

#include <algorithm>

#include "colc/records/errors.h"
#include "colc/records/internal/pel_rows.h"

bool kcColorCalibrationResult::operator==(const kcColorCalibrationResult& other) const {
  // The acquisition information describes how the result was obtained, not
  // the result itself, so it takes no part in the comparison.
  return exposure_ == other.exposure_ && contrast_ == other.contrast_ && brightness_ == other.brightness_ &&
         positive8BitLut_ == other.positive8BitLut_ && channelResults_ == other.channelResults_;
}

namespace {

// Each plane's table: a channel without a map, or every channel when the
// first has none, keeps its plane as it is.
std::array<const std::vector<unsigned char>*, 3> planeTables(
    const std::vector<kcColorCalibrationChannelResult>& channels) {
  if (channels.size() != 3) throw kcColorCalibrationDefs::BadParams();
  static const std::vector<unsigned char> identity = kfBuildPelMap(1.0, 0.0);
  std::array<const std::vector<unsigned char>*, 3> tables{};
  for (std::size_t k = 0; k < 3; ++k)
    tables[k] = channels[0].pelmap().empty() || channels[k].pelmap().empty() ? &identity : &channels[k].pelmap();
  return tables;
}

// Pels of three bytes with the planes in the same places in from and to,
// as nearly every image has them: the bytes mapped one after the other,
// each through the table of its place in the pel. False for other runs.
bool mapBytesInOrder(const kcPelRun<const unsigned char>& from, const kcPelRun<unsigned char>& to,
                     const unsigned char* const (&table)[3], long width) {
  if (from.step != 3 || to.step != 3) return false;
  const unsigned char* source = *std::min_element(from.plane.begin(), from.plane.end());
  unsigned char* target = *std::min_element(to.plane.begin(), to.plane.end());
  const unsigned char* byPlace[3] = {};
  for (std::size_t k = 0; k < 3; ++k) {
    const long place = from.plane[k] - source;
    if (place > 2 || to.plane[k] - target != place || byPlace[place] != nullptr) return false;
    byPlace[place] = table[k];
  }
  for (long i = 0; i < 3 * width; i += 3) {
    target[i] = byPlace[0][source[i]];
    target[i + 1] = byPlace[1][source[i + 1]];
    target[i + 2] = byPlace[2][source[i + 2]];
  }
  return true;
}

}  // namespace

kc3PlanePelBuffer kcColorCalibrationResult::pelMapImage(const kc3PlanePelBuffer& image) const {
  kc3PlanePelBuffer out;
  pelMapImage(image, out);
  return out;
}

void kcColorCalibrationResult::pelMapImage(const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out) const {
  const auto tables = planeTables(channelResults_);
  const kcPelRows<const unsigned char> in = kfPelRowsOf(image, "the image");
  if (!out.isBound()) {
    kcPelBuffer<unsigned char> planes[3];
    for (int k = 0; k < 3; ++k) kfPelMap(image.pelPlane(k), *tables[static_cast<std::size_t>(k)], planes[k]);
    out = kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
    return;
  }
  kfCheckInPlaceOrApart(in, kfWritablePelRowsOf(out, "the output"));
  for (int k = 0; k < 3; ++k) {
    kcPelBuffer<unsigned char> plane = out.pelPlane(k);
    kfPelMap(image.pelPlane(k), *tables[static_cast<std::size_t>(k)], plane);
  }
}

void kcColorCalibrationResult::pelMapImage(const kcInterleavedPels<const unsigned char>& image,
                                           const kcInterleavedPels<unsigned char>& out) const {
  const auto tables = planeTables(channelResults_);
  const kcPelRows<const unsigned char> in = kfPelRowsOf(image, "the image");
  const kcPelRows<unsigned char> mapped = kfWritablePelRowsOf(out, "the output");
  kfCheckInPlaceOrApart(in, mapped);
  const unsigned char* table[3] = {tables[0]->data(), tables[1]->data(), tables[2]->data()};
  for (long y = 0; y < in.height; ++y) {
    const kcPelRun<const unsigned char> from = in.row(y);
    const kcPelRun<unsigned char> to = mapped.row(y);
    if (!mapBytesInOrder(from, to, table, in.width))
      for (long x = 0; x < in.width; ++x)
        for (std::size_t k = 0; k < 3; ++k) to.plane[k][x * to.step] = table[k][from.plane[k][x * from.step]];
  }
}
