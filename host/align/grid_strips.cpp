#include "host/align/grid_strips.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

struct Span {
  int first = 0, last = -1;  // empty when last < first
  bool empty() const { return last < first; }
  void widen(const Span& other) {
    if (other.empty()) return;
    if (empty()) {
      *this = other;
      return;
    }
    first = std::min(first, other.first), last = std::max(last, other.last);
  }
};

// The extent in x of the convex quadrilateral within the rows low..high.
std::optional<std::pair<double, double>> extentBetween(const std::array<cv::Point2d, 4>& q, double low, double high) {
  double left = HUGE_VAL, right = -HUGE_VAL;
  const auto take = [&](double x) { left = std::min(left, x), right = std::max(right, x); };
  for (std::size_t i = 0; i < q.size(); ++i) {
    const cv::Point2d& a = q[i];
    const cv::Point2d& b = q[(i + 1) % q.size()];
    if (a.y >= low && a.y <= high) take(a.x);
    for (const double y : {low, high})
      if ((a.y - y) * (b.y - y) < 0.0) take(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
  }
  if (left > right) return std::nullopt;
  return std::make_pair(left, right);
}

}  // namespace

std::vector<cv::Rect> kfGridStrips(const std::array<cv::Point2d, 4>& inside, cv::Size pattern, cv::Size results,
                                   int stripRows) {
  // The placements of each row whose pattern (pels' outer edges) can lie
  // inside: those within the quadrilateral's extent over the pattern's
  // rows, a superset. Rounding is taken in their favour.
  constexpr double kRounding = 1e-6;
  std::vector<Span> fit(static_cast<std::size_t>(results.height));
  for (int y = 0; y < results.height; ++y) {
    const auto extent = extentBetween(inside, y - 0.5, y + pattern.height - 0.5);
    if (!extent) continue;
    Span& s = fit[static_cast<std::size_t>(y)];
    s.first = std::max(0, static_cast<int>(std::ceil(extent->first + 0.5 - kRounding)));
    s.last = std::min(results.width - 1, static_cast<int>(std::floor(extent->second - pattern.width + 0.5 + kRounding)));
  }
  // Their neighbours too, and rows gathered into strips.
  std::vector<cv::Rect> strips;
  for (int top = 0; top < results.height; top += stripRows) {
    const int bottom = std::min(results.height, top + stripRows);
    Span columns;
    int firstRow = bottom, lastRow = top - 1;
    for (int y = top; y < bottom; ++y) {
      Span near;
      for (int n = std::max(0, y - 1); n <= std::min(results.height - 1, y + 1); ++n)
        near.widen(fit[static_cast<std::size_t>(n)]);
      if (near.empty()) continue;
      near.first = std::max(0, near.first - 1), near.last = std::min(results.width - 1, near.last + 1);
      columns.widen(near);
      firstRow = std::min(firstRow, y), lastRow = std::max(lastRow, y);
    }
    if (!columns.empty())
      strips.emplace_back(columns.first, firstRow, columns.last - columns.first + 1, lastRow - firstRow + 1);
  }
  return strips;
}
