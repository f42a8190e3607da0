// Histograms of pel values and their statistics.
#include <array>
#include <cmath>
#include <cstdint>

#include "colc/host/imaging.h"

void kfPelHistogram(const kcPelBuffer_const<unsigned char>& src, std::vector<unsigned long>& histogram) {
  if (!src.isBound()) throw kcBadPointer("kfPelHistogram: unbound pel buffer");
  // Four interleaved counters per value keep runs of equal pels (common in
  // images) from stalling on one memory location; 64-bit counters stay
  // exact for any window. A floating-point histogram would not.
  std::array<std::array<std::uint64_t, 256>, 4> counts{};
  const long width = src.width();
  for (long y = src.window().top; y < src.window().bottom; ++y) {
    const unsigned char* row = src.pointToRow(y);
    long x = 0;
    for (; x + 4 <= width; x += 4) {
      ++counts[0][row[x]];
      ++counts[1][row[x + 1]];
      ++counts[2][row[x + 2]];
      ++counts[3][row[x + 3]];
    }
    for (; x < width; ++x) ++counts[0][row[x]];
  }
  histogram.assign(256, 0);
  for (int v = 0; v < 256; ++v) histogram[v] = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
}

kcHistoStats::kcHistoStats(const std::vector<unsigned long>& histogram, bool /*reserved*/) {
  // The sums of counts and of value x count are integers, so count and mean
  // are exact (up to the final division); the variance is summed around the
  // mean, which keeps it exactly 0.0 for one occupied bin and accurate otherwise.
  std::uint64_t weighted = 0;
  for (std::size_t v = 0; v < histogram.size(); ++v) {
    if (histogram[v] == 0) continue;
    if (count_ == 0) min_ = static_cast<long>(v);
    max_ = static_cast<long>(v);
    count_ += histogram[v];
    weighted += static_cast<std::uint64_t>(v) * histogram[v];
  }
  if (count_ == 0) return;
  mean_ = static_cast<double>(weighted) / static_cast<double>(count_);
  double squares = 0.0;
  for (std::size_t v = 0; v < histogram.size(); ++v) {
    const double d = static_cast<double>(v) - mean_;
    squares += static_cast<double>(histogram[v]) * d * d;
  }
  sDev_ = std::sqrt(squares / static_cast<double>(count_));
}
