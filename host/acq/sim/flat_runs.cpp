#include "host/acq/sim/flat_runs.h"

#include <functional>

namespace {

// Shorter runs of equal light (along edges that cross the rows at a slant)
// gain too little over the ordinary path to pay for their bookkeeping.
constexpr int kMinRun = 16;
// A level's table is worth building once its runs hold this many pels.
constexpr std::size_t kMinLevelPels = 4096;

// Calls found(x0, x1) for each run of at least kMinRun equal levels in
// row[s0, s1).
void forEachRun(const std::uint16_t* row, int s0, int s1, const std::function<void(int, int)>& found) {
  for (int x0 = s0; x0 < s1;) {
    int x1 = x0 + 1;
    while (x1 < s1 && row[x1] == row[x0]) ++x1;
    if (x1 - x0 >= kMinRun) found(x0, x1);
    x0 = x1;
  }
}

}  // namespace

kcSimFlatRuns::kcSimFlatRuns(const cv::Mat& levels, int taps) : taps_(taps) {
  CV_Assert(levels.type() == CV_16U && levels.rows % 3 == 0);
  const int height = levels.rows / 3, width = levels.cols;
  const auto eachRunOfRow = [&](int row, const std::function<void(int, int, int)>& found) {
    const std::uint16_t* p = levels.ptr<std::uint16_t>(row);
    for (int tap = 0; tap < taps; ++tap)
      forEachRun(p, width * tap / taps, width * (tap + 1) / taps, [&](int x0, int x1) { found(tap, x0, x1); });
  };

  // Pels in long runs, per plane and level; then the levels worth a table.
  std::vector<std::size_t> pels(3 << 16);
  for (int row = 0; row < levels.rows; ++row) {
    const std::uint16_t* p = levels.ptr<std::uint16_t>(row);
    eachRunOfRow(row, [&](int, int x0, int x1) { pels[((row / height) << 16) + p[x0]] += x1 - x0; });
  }
  std::vector<int> index(pels.size(), -1);
  for (std::size_t i = 0; i < pels.size(); ++i)
    if (pels[i] >= kMinLevelPels) {
      index[i] = static_cast<int>(levels_.size());
      levels_.push_back({static_cast<int>(i >> 16), static_cast<std::uint16_t>(i & 0xffff)});
    }

  if (levels_.empty()) return;
  rowStart_.push_back(0);
  for (int row = 0; row < levels.rows; ++row) {
    const std::uint16_t* p = levels.ptr<std::uint16_t>(row);
    outsideStart_.push_back(outside_.size());
    int x = 0;
    eachRunOfRow(row, [&](int tap, int x0, int x1) {
      const int level = index[((row / height) << 16) + p[x0]];
      if (level < 0) return;
      runs_.push_back({static_cast<std::uint16_t>(x0), static_cast<std::uint16_t>(x1),
                       static_cast<std::uint32_t>(level * taps + tap)});
      outside_.insert(outside_.end(), p + x, p + x0);
      x = x1;
    });
    outside_.insert(outside_.end(), p + x, p + width);
    rowStart_.push_back(runs_.size());
  }
}

const std::uint16_t* kcSimFlatRuns::outside(int row) const {
  return levels_.empty() ? nullptr : outside_.data() + outsideStart_[static_cast<std::size_t>(row)];
}

std::span<const kcSimFlatRuns::Run> kcSimFlatRuns::row(int row) const {
  if (runs_.empty()) return {};
  const auto r = static_cast<std::size_t>(row);
  return {runs_.data() + rowStart_[r], runs_.data() + rowStart_[r + 1]};
}
