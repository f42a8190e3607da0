#include "host/align/target_candidates.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "host/align/pattern_search.h"

namespace {

// Scale bands span this ratio, and reach beyond it by kBandOverlap either
// way, so that a target at a band's edge, where the search's grid is
// sparse, lies within the next band too. Each band is searched with the
// reference shrunk or the view reduced so that the band lies about scale
// 1: the pattern search then warps the view into the reference's frame
// without enlarging it.
constexpr double kBandRatio = 1.6;
constexpr double kBandOverlap = 1.05;
// The grid of turns and scales on the coarse level (AlignSearchSpace):
// all turns, with a margin beyond a full turn so that a match refined
// across +-180 degrees stays within the search's zone.
constexpr double kCoarseRadius = 8.0;
constexpr double kTurnMargin = 0.1;
// The most pattern pels times placements a band's grid correlates, about
// 0.3 s on one core. A small reference keeps more than the coarse radius on
// its coarsest level of at least 8 pels, where the view is reduced least:
// a reference 99 pels wide, shrunk to 39 for the band of scale 0.39, would
// correlate 44e9 on a 1280 x 1024 view. The bands of references a few
// hundred pels wide stay below it, and their grid as it was.
constexpr double kGridBudget = 4e9;
// Without quarter turns, the reference is searched this far either side
// of upright (radians).
constexpr double kUprightReach = 50.0 * std::numbers::pi / 180.0;
// How far (a share of its longer side) the target may reach out of view.
constexpr double kOutOfViewReach = 0.35;
// Matches correlating below this at the search's finest level are not
// candidates.
constexpr double kAccept = 0.3;
// The pattern search stops refining on the finest level on which the
// reference keeps this many pels on its shorter side, at most at a quarter
// of its resolution in the band.
constexpr int kFineSide = 32;
constexpr int kFinestLevel = 2;

int fineLevel(cv::Size reference) {
  int level = 0;
  while (level < kFinestLevel && (std::min(reference.width, reference.height) >> (level + 1)) >= kFineSide) ++level;
  return level;
}

}  // namespace

std::vector<kcTargetCandidate> kfTargetCandidates(const cv::Mat& view, const cv::Mat& reference,
                                                  const kcCandidateSearch& search) {
  // Band k is centred on kBandRatio^k, so that scale 1, where a reference
  // drawn at the target's size is seen, lies in the middle of a band.
  const auto nearestBand = [](double scale) {
    return static_cast<int>(std::lround(std::log(scale) / std::log(kBandRatio)));
  };
  std::vector<cv::Mat> viewLevels{view};
  std::vector<kcTargetCandidate> candidates;
  for (int band = nearestBand(search.minScale); band <= nearestBand(search.maxScale); ++band) {
    const double middle = std::pow(kBandRatio, band);
    const double low = std::max(search.minScale, middle / std::sqrt(kBandRatio) / kBandOverlap);
    const double high = std::min(search.maxScale, middle * std::sqrt(kBandRatio) * kBandOverlap);
    if (!(low < high)) continue;
    // The view reduced by 2^level and the reference shrunk by shrink
    // (at most 1) put the band's middle at scale 1.
    const int level = middle > 1.0 ? static_cast<int>(std::ceil(std::log2(middle) - 1e-9)) : 0;
    const double shrink = middle / std::ldexp(1.0, level);
    while (static_cast<int>(viewLevels.size()) <= level) {
      cv::Mat half;
      cv::pyrDown(viewLevels.back(), half);
      viewLevels.push_back(half);
    }
    const cv::Mat& seen = viewLevels[static_cast<std::size_t>(level)];
    cv::Mat pattern = reference;
    if (shrink < 1.0)
      cv::resize(reference, pattern,
                 cv::Size(std::max(1, static_cast<int>(std::lround(reference.cols * shrink))),
                          std::max(1, static_cast<int>(std::lround(reference.rows * shrink)))),
                 0.0, 0.0, cv::INTER_AREA);
    if (pattern.cols < AlignPatternModel::kMinSide || pattern.rows < AlignPatternModel::kMinSide) continue;
    const int pad = search.partlyOutOfView ? static_cast<int>(std::ceil(
                                                 kOutOfViewReach * std::max(pattern.cols, pattern.rows) * high / middle))
                                           : 0;
    cv::Mat padded;
    cv::copyMakeBorder(seen, padded, pad, pad, pad, pad, cv::BORDER_CONSTANT, cv::mean(seen));
    const AlignPatternModel model(pattern, fineLevel(pattern.size()));
    AlignSearchSpace space;
    const double reach = search.quarterTurns ? std::numbers::pi + kTurnMargin : kUprightReach;
    space.rotationLow = -reach, space.rotationHigh = reach;
    space.scaleLow = low / middle, space.scaleHigh = high / middle;
    space.accept = kAccept;
    space.coarseRadius = kCoarseRadius;
    space.gridBudget = kGridBudget;
    space.directInside = true;
    // Pattern pel u lands at squash L (u - c) + centre, L = scale R(rotation).
    const double a = search.squashAxisDegrees * std::numbers::pi / 180.0;
    const cv::Matx22d turn(std::cos(a), -std::sin(a), std::sin(a), std::cos(a));
    space.runFromClient = turn * cv::Matx22d(1.0, 0.0, 0.0, search.squash) * turn.t();
    // Reference pel u lies at pattern pel (u + 0.5) f - 0.5, f per axis.
    const double fx = static_cast<double>(pattern.cols) / reference.cols;
    const double fy = static_cast<double>(pattern.rows) / reference.rows;
    const cv::Matx33d fromReference(fx, 0.0, 0.5 * fx - 0.5, 0.0, fy, 0.5 * fy - 0.5, 0.0, 0.0, 1.0);
    const double up = std::ldexp(1.0, level);
    const cv::Matx33d toView(up, 0.0, -up * pad, 0.0, up, -up * pad, 0.0, 0.0, 1.0);
    for (const AlignMatch& m : model.searchAll(padded, space)) {
      const double c = m.scale * std::cos(m.rotation), s = m.scale * std::sin(m.rotation);
      const cv::Matx22d l = space.runFromClient * cv::Matx22d(c, -s, s, c);
      const cv::Point2d u = model.centre();
      const cv::Matx33d affine(l(0, 0), l(0, 1), m.centre.x - (l(0, 0) * u.x + l(0, 1) * u.y), l(1, 0), l(1, 1),
                               m.centre.y - (l(1, 0) * u.x + l(1, 1) * u.y), 0.0, 0.0, 1.0);
      candidates.push_back({toView * affine * fromReference, m.score});
    }
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const kcTargetCandidate& a, const kcTargetCandidate& b) { return a.score > b.score; });
  return candidates;
}
