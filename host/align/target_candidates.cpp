#include "host/align/target_candidates.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "host/align/pattern_search.h"

namespace {

// Scale bands span at most this ratio. Each band is searched with the
// reference shrunk or the view reduced so that the band lies about scale
// 1: the pattern search then warps the view into the reference's frame
// without enlarging it.
constexpr double kBandRatio = 1.6;
// The grid of turns and scales on the coarse level (AlignSearchSpace):
// all turns, with a margin beyond a full turn so that a match refined
// across +-180 degrees stays within the search's zone.
constexpr double kCoarseRadius = 8.0;
constexpr double kTurnMargin = 0.1;
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
  const int bands = std::max(1, static_cast<int>(std::ceil(std::log(search.maxScale / search.minScale) /
                                                           std::log(kBandRatio) - 1e-9)));
  const double bandRatio = std::pow(search.maxScale / search.minScale, 1.0 / bands);
  std::vector<cv::Mat> viewLevels{view};
  std::vector<kcTargetCandidate> candidates;
  for (int band = 0; band < bands; ++band) {
    const double low = search.minScale * std::pow(bandRatio, band), high = low * bandRatio;
    const double middle = std::sqrt(low * high);
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
    // The view padded with its mean grey, so that a target partly out of
    // view is found too.
    const int pad = static_cast<int>(std::ceil(kOutOfViewReach * std::max(pattern.cols, pattern.rows) * high / middle));
    cv::Mat padded;
    cv::copyMakeBorder(seen, padded, pad, pad, pad, pad, cv::BORDER_CONSTANT, cv::mean(seen));
    const AlignPatternModel model(pattern, fineLevel(pattern.size()));
    AlignSearchSpace space;
    const double reach = search.quarterTurns ? std::numbers::pi + kTurnMargin : kUprightReach;
    space.rotationLow = -reach, space.rotationHigh = reach;
    space.scaleLow = low / middle, space.scaleHigh = high / middle;
    space.accept = kAccept;
    space.coarseRadius = kCoarseRadius;
    // Reference pel u lies at pattern pel (u + 0.5) f - 0.5, f per axis.
    const double fx = static_cast<double>(pattern.cols) / reference.cols;
    const double fy = static_cast<double>(pattern.rows) / reference.rows;
    const cv::Matx33d fromReference(fx, 0.0, 0.5 * fx - 0.5, 0.0, fy, 0.5 * fy - 0.5, 0.0, 0.0, 1.0);
    const double up = std::ldexp(1.0, level);
    const cv::Matx33d toView(up, 0.0, -up * pad, 0.0, up, -up * pad, 0.0, 0.0, 1.0);
    for (const AlignMatch& m : model.searchAll(padded, space)) {
      // Pattern pel u lands at L (u - c) + centre, L = scale R(rotation).
      const double c = m.scale * std::cos(m.rotation), s = m.scale * std::sin(m.rotation);
      const cv::Point2d u = model.centre();
      const cv::Matx33d similarity(c, -s, m.centre.x - (c * u.x - s * u.y), s, c, m.centre.y - (s * u.x + c * u.y), 0.0,
                                   0.0, 1.0);
      candidates.push_back({toView * similarity * fromReference, m.score});
    }
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const kcTargetCandidate& a, const kcTargetCandidate& b) { return a.score > b.score; });
  return candidates;
}
