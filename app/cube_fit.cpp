#include "app/cube_fit.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "colc/balance/color_correction_fit.h"

namespace {

using Colour = std::array<double, 3>;

// The correction at grid point (r, g, b) of a grid of n points per axis.
Colour correctionAt(const StoredCalibration& calibration, int n, int r, int g, int b) {
  const double step = 1.0 / (n - 1);
  return kfCorrectColour(calibration.result, calibration.correctionOrNull(), {r * step, g * step, b * step});
}

// The correction at a node, moved by the mean bow of the correction halfway
// to its neighbours along the axes (how far the curve there lies off the
// straight line between the nodes), so that interpolation runs through the
// curve rather than below or above it.
Colour sampledNode(const StoredCalibration& calibration, int size, int r, int g, int b) {
  const int fine = 2 * size - 1;
  const auto at = [&](int fr, int fg, int fb) { return correctionAt(calibration, fine, fr, fg, fb); };
  const int point[3] = {2 * r, 2 * g, 2 * b};
  const Colour value = at(point[0], point[1], point[2]);
  Colour bow{};
  int neighbours = 0;
  for (int axis = 0; axis < 3; ++axis)
    for (int side : {-1, 1}) {
      int half[3] = {point[0], point[1], point[2]}, next[3] = {point[0], point[1], point[2]};
      half[axis] += side;
      next[axis] += 2 * side;
      if (next[axis] < 0 || next[axis] >= fine) continue;
      const Colour mid = at(half[0], half[1], half[2]), far = at(next[0], next[1], next[2]);
      for (std::size_t k = 0; k < 3; ++k) bow[k] += mid[k] - 0.5 * (value[k] + far[k]);
      ++neighbours;
    }
  Colour node{};
  for (std::size_t k = 0; k < 3; ++k) node[k] = value[k] + bow[k] / neighbours;
  return node;
}

// Where the 8-bit levels fall on an axis of n nodes: each level's cell and
// the fraction of the way across it, and each cell's levels.
struct Axis {
  explicit Axis(int n) : cells(n - 1), first(static_cast<std::size_t>(n)) {
    for (int v = 0; v < 256; ++v) {
      const double place = v * static_cast<double>(cells) / 255.0;
      cell[static_cast<std::size_t>(v)] = std::min(static_cast<int>(place), cells - 1);
      fraction[static_cast<std::size_t>(v)] = place - cell[static_cast<std::size_t>(v)];
    }
    for (int c = 0, v = 0; c <= cells; ++c) {
      while (v < 256 && cell[static_cast<std::size_t>(v)] < c) ++v;
      first[static_cast<std::size_t>(c)] = v;
    }
  }
  int cells;
  std::array<int, 256> cell{};
  std::array<double, 256> fraction{};
  std::vector<int> first;  // cell c holds the levels first[c] .. first[c + 1] - 1
};

// The four nodes whose values tetrahedral interpolation weighs at a point of
// a cell, as offsets from the cell's first node, and their weights.
struct Tetrahedron {
  std::array<long, 4> corner;
  std::array<double, 4> weight;
};

Tetrahedron tetrahedronAt(double r, double g, double b, long n) {
  const long R = 1, G = n, B = n * n;
  if (r > g) {
    if (g > b) return {{0, R, R + G, R + G + B}, {1 - r, r - g, g - b, b}};
    if (r > b) return {{0, R, R + B, R + G + B}, {1 - r, r - b, b - g, g}};
    return {{0, B, R + B, R + G + B}, {1 - b, b - r, r - g, g}};
  }
  if (b > g) return {{0, B, G + B, R + G + B}, {1 - b, b - g, g - r, r}};
  if (b > r) return {{0, G, G + B, R + G + B}, {1 - g, g - b, b - r, r}};
  return {{0, G, R + G, R + G + B}, {1 - g, g - r, r - b, b}};
}

}  // namespace

Colour sampledCubeNode(const StoredCalibration& calibration, int size, int r, int g, int b) {
  return sampledNode(calibration, size, r, g, b);
}

namespace {

// Every 8-bit colour as colc apply corrects it: planes 0..2 of colour
// (b << 16 | g << 8 | r) at 3 times that index.
std::vector<unsigned char> appliedColours(const StoredCalibration& calibration) {
  std::vector<unsigned char> applied(3 * 256 * 256 * 256);
  kcPelBuffer<unsigned char> red(256, 256), green(256, 256), blue(256, 256);
  for (long y = 0; y < 256; ++y)
    for (long x = 0; x < 256; ++x) {
      red.pointToRow(y)[x] = static_cast<unsigned char>(x);
      green.pointToRow(y)[x] = static_cast<unsigned char>(y);
    }
  const kc3PlanePelBuffer slice(red, green, blue);
  for (long b = 0; b < 256; ++b) {
    for (long y = 0; y < 256; ++y) std::fill_n(blue.pointToRow(y), 256, static_cast<unsigned char>(b));
    kc3PlanePelBuffer corrected;
    kfCorrectImage(calibration.result, calibration.correctionOrNull(), slice, corrected);
    unsigned char* out = applied.data() + 3 * (b << 16);
    for (int k = 0; k < 3; ++k)
      for (long y = 0; y < 256; ++y) {
        const unsigned char* row = corrected.pelPlane(k).pointToRow(y);
        for (long x = 0; x < 256; ++x) out[3 * (256 * y + x) + k] = row[x];
      }
  }
  return applied;
}

// The least-squares fit of the nodes of the cells where interpolation
// misses the applied colours.
class NodeFit {
 public:
  NodeFit(std::vector<Colour>& nodes, int size, const std::vector<unsigned char>& applied)
      : nodes_(nodes), n_(size), axis_(size), applied_(applied) {}

  void run() {
    markMissedCells();
    for (int sweep = 0; sweep < kSweeps; ++sweep) fitSweep();
  }

 private:
  // Sweeps over the fitted cells; each moves every fitted node by part of
  // its least-squares step, all nodes at once.
  static constexpr int kSweeps = 12;
  static constexpr double kStepShare = 0.5;
  // A cell is fitted when interpolation misses a colour in it by more
  // than this many levels.
  static constexpr double kMissedLevels = 0.75;

  long cellCount() const { return static_cast<long>(axis_.cells) * axis_.cells * axis_.cells; }
  long firstNodeOf(long cell) const {
    const long c = axis_.cells;
    return cell % c + (cell / c % c) * n_ + (cell / (c * c)) * n_ * n_;
  }

  // Calls visit(tetrahedron, first node, index of the applied colour) for
  // every 8-bit colour in the cell.
  template <class Visit>
  void forEachColour(long cell, const Visit& visit) const {
    const long c = axis_.cells;
    const int cr = static_cast<int>(cell % c), cg = static_cast<int>(cell / c % c), cb = static_cast<int>(cell / (c * c));
    const long first = firstNodeOf(cell);
    for (int b = axis_.first[static_cast<std::size_t>(cb)]; b < axis_.first[static_cast<std::size_t>(cb) + 1]; ++b)
      for (int g = axis_.first[static_cast<std::size_t>(cg)]; g < axis_.first[static_cast<std::size_t>(cg) + 1]; ++g)
        for (int r = axis_.first[static_cast<std::size_t>(cr)]; r < axis_.first[static_cast<std::size_t>(cr) + 1];
             ++r) {
          const Tetrahedron t = tetrahedronAt(axis_.fraction[static_cast<std::size_t>(r)],
                                              axis_.fraction[static_cast<std::size_t>(g)],
                                              axis_.fraction[static_cast<std::size_t>(b)], n_);
          visit(t, first, 3 * ((static_cast<std::size_t>(b) << 16) | (static_cast<std::size_t>(g) << 8) |
                               static_cast<std::size_t>(r)));
        }
  }

  double interpolated(const Tetrahedron& t, long first, std::size_t plane) const {
    double v = 0.0;
    for (std::size_t i = 0; i < 4; ++i) v += t.weight[i] * nodes_[static_cast<std::size_t>(first + t.corner[i])][plane];
    return v;
  }

  void markMissedCells() {
    fitted_.assign(static_cast<std::size_t>(n_) * n_ * n_, -1);
    for (long cell = 0; cell < cellCount(); ++cell) {
      bool missed = false;
      forEachColour(cell, [&](const Tetrahedron& t, long first, std::size_t colour) {
        for (std::size_t k = 0; k < 3 && !missed; ++k)
          missed = std::abs(255.0 * std::clamp(interpolated(t, first, k), 0.0, 1.0) - applied_[colour + k]) >
                   kMissedLevels;
      });
      if (!missed) continue;
      const long first = firstNodeOf(cell);
      for (long corner : {0L, 1L, long{n_}, n_ + 1L, long{n_} * n_, long{n_} * n_ + 1, long{n_} * n_ + n_,
                          long{n_} * n_ + n_ + 1})
        fitted_[static_cast<std::size_t>(first + corner)] = 0;
    }
    long index = 0;
    for (long& f : fitted_)
      if (f == 0) f = index++;
    fittedCount_ = index;
    // Every cell with a fitted corner: moving a node changes them all.
    for (long cell = 0; cell < cellCount(); ++cell) {
      const long first = firstNodeOf(cell);
      for (long corner : {0L, 1L, long{n_}, n_ + 1L, long{n_} * n_, long{n_} * n_ + 1, long{n_} * n_ + n_,
                          long{n_} * n_ + n_ + 1})
        if (fitted_[static_cast<std::size_t>(first + corner)] >= 0) {
          touched_.push_back(cell);
          break;
        }
    }
  }

  void fitSweep() {
    std::vector<Colour> step(static_cast<std::size_t>(fittedCount_)), weight(static_cast<std::size_t>(fittedCount_));
    for (long cell : touched_)
      forEachColour(cell, [&](const Tetrahedron& t, long first, std::size_t colour) {
        for (std::size_t k = 0; k < 3; ++k) {
          const double v = interpolated(t, first, k), target = applied_[colour + k] / 255.0;
          // Beyond a clip the tool clips too: no error as long as both clip alike.
          if ((v <= 0.0 && target == 0.0) || (v >= 1.0 && target == 1.0)) continue;
          const double miss = target - std::clamp(v, 0.0, 1.0);
          for (std::size_t i = 0; i < 4; ++i) {
            const long f = fitted_[static_cast<std::size_t>(first + t.corner[i])];
            if (f < 0) continue;
            step[static_cast<std::size_t>(f)][k] += t.weight[i] * miss;
            weight[static_cast<std::size_t>(f)][k] += t.weight[i] * t.weight[i];
          }
        }
      });
    for (std::size_t node = 0; node < fitted_.size(); ++node) {
      const long f = fitted_[node];
      if (f < 0) continue;
      for (std::size_t k = 0; k < 3; ++k)
        if (weight[static_cast<std::size_t>(f)][k] > 0.0)
          nodes_[node][k] += kStepShare * step[static_cast<std::size_t>(f)][k] / weight[static_cast<std::size_t>(f)][k];
    }
  }

  std::vector<Colour>& nodes_;
  int n_;
  Axis axis_;
  const std::vector<unsigned char>& applied_;
  std::vector<long> fitted_;  // per node: its index among the fitted nodes, or -1
  long fittedCount_ = 0;
  std::vector<long> touched_;  // the cells with a fitted corner
};

}  // namespace

std::vector<Colour> fittedCubeNodes(const StoredCalibration& calibration, int size) {
  if (size > kLargestFittedCube)
    throw std::invalid_argument("cube nodes are fitted up to " + std::to_string(kLargestFittedCube) + " a side");
  std::vector<Colour> nodes;
  nodes.reserve(static_cast<std::size_t>(size) * size * size);
  for (int b = 0; b < size; ++b)
    for (int g = 0; g < size; ++g)
      for (int r = 0; r < size; ++r) nodes.push_back(sampledNode(calibration, size, r, g, b));
  NodeFit(nodes, size, appliedColours(calibration)).run();
  return nodes;
}
