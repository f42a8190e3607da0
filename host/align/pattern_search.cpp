#include "host/align/pattern_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <tuple>

#include "host/align/grid_correlation.h"
#include "host/align/grid_strips.h"

namespace {

// Grid spacing: a step in rotation or scale moves the pattern's corners by
// this many coarse pels, so a pose is at most half of it off a grid point.
constexpr double kCoarseStep = 1.0;
// A grid over its budget is widened by this factor at a time.
constexpr double kBudgetWidening = 1.05;
// Grid correlations below this are not followed.
constexpr double kCoarseFloor = 0.25;
// How many grid peaks (at distinct places) are refined.
constexpr int kCoarseCandidates = 6;
// Translation searched around a pose in each refinement step, in pels.
constexpr int kRefineMargin = 2;
// Steps a refinement may take on one level before it settles.
constexpr int kMaxMoves = 4;

cv::Point2d operator*(const cv::Matx22d& m, const cv::Point2d& p) {
  return {m(0, 0) * p.x + m(0, 1) * p.y, m(1, 0) * p.x + m(1, 1) * p.y};
}

// True when all four corners of the pattern (its pels' outer edges) land
// inside the image, give or take tolerance pels.
bool liesInside(const cv::Matx22d& linear, const cv::Point2d& centre, const cv::Point2d& patternCentre,
                cv::Size pattern, cv::Size image, double tolerance) {
  for (const double qx : {-0.5, pattern.width - 0.5}) {
    for (const double qy : {-0.5, pattern.height - 0.5}) {
      const cv::Point2d x = linear * (cv::Point2d(qx, qy) - patternCentre) + centre;
      if (x.x < -0.5 - tolerance || x.y < -0.5 - tolerance || x.x > image.width - 0.5 + tolerance ||
          x.y > image.height - 0.5 + tolerance)
        return false;
    }
  }
  return true;
}

// Evenly spaced values covering [low, high], each at most step / 2 from any
// point of it; one value for an empty range.
std::vector<double> gridValues(double low, double high, double maxStep, double& step) {
  const int n = high > low ? static_cast<int>(std::ceil((high - low) / maxStep)) : 1;
  step = (high - low) / n;
  std::vector<double> values;
  for (int i = 0; i < n; ++i) values.push_back(low + (i + 0.5) * step);
  return values;
}

// The correlations (TM_CCOEFF_NORMED) of the pattern placed at each pel of
// `placements`, a rectangle of the result of correlating the canvas, whose
// pel v shows the image at linear * (v + low): cv::matchTemplate's, or
// kfPatternCorrelations's when direct.
cv::Mat canvasCorrelations(const cv::Mat& image, const cv::Mat& pattern, const cv::Matx22d& linear,
                           const cv::Point2d& low, const cv::Rect& placements, bool direct) {
  const cv::Point2d origin = linear * (low + cv::Point2d(placements.x, placements.y));
  const cv::Matx23d warp(linear(0, 0), linear(0, 1), origin.x, linear(1, 0), linear(1, 1), origin.y);
  cv::Mat canvas, scores;
  cv::warpAffine(image, canvas, warp, placements.size() + pattern.size() - cv::Size(1, 1),
                 cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT);
  if (direct) return kfPatternCorrelations(canvas, pattern);
  cv::matchTemplate(canvas, pattern, scores, cv::TM_CCOEFF_NORMED);
  return scores;
}

// Correlates the pattern with the image warped into the pattern's frame by
// one linear map (the whole image through cv::matchTemplate, or directly
// where the pattern can lie inside it) and appends the local maxima at
// which the pattern lies inside the image.
void collectGridPeaks(const cv::Mat& image, const cv::Mat& pattern, const cv::Point2d& patternCentre,
                      const cv::Matx22d& linear, double rotation, double scale, bool directInside,
                      std::vector<AlignMatch>& peaks) {
  // A peak's pattern may reach this far (pels) beyond the image.
  constexpr double kTolerance = 1.0;
  const cv::Matx22d inverse = linear.inv();
  cv::Point2d low(HUGE_VAL, HUGE_VAL), high(-HUGE_VAL, -HUGE_VAL);
  for (const double cx : {-0.5, image.cols - 0.5}) {
    for (const double cy : {-0.5, image.rows - 0.5}) {
      const cv::Point2d q = inverse * cv::Point2d(cx, cy);
      low = {std::min(low.x, q.x), std::min(low.y, q.y)};
      high = {std::max(high.x, q.x), std::max(high.y, q.y)};
    }
  }
  // Canvas pel v shows the image at linear * (v + low).
  const cv::Size canvasSize(static_cast<int>(high.x - low.x) + 1, static_cast<int>(high.y - low.y) + 1);
  if (canvasSize.width < pattern.cols || canvasSize.height < pattern.rows) return;
  const cv::Size results = canvasSize - pattern.size() + cv::Size(1, 1);
  cv::Mat scores;
  if (directInside) {
    // The image, widened by the tolerance, in canvas coordinates.
    const double l = -0.5 - kTolerance, t = -0.5 - kTolerance;
    const double r = image.cols - 0.5 + kTolerance, b = image.rows - 0.5 + kTolerance;
    std::array<cv::Point2d, 4> inside{cv::Point2d(l, t), cv::Point2d(r, t), cv::Point2d(r, b), cv::Point2d(l, b)};
    for (cv::Point2d& corner : inside) corner = inverse * corner - low;
    scores.create(results, CV_32F);
    scores.setTo(-1.0);
    // Strips of four times the pattern's height: each strip warps and
    // correlates the pattern's height less one row more than its own, and
    // narrower strips fit the image closer. Four took the least time on
    // the images the target finder searches (80 x 64 to 640 x 512 pels).
    for (const cv::Rect& strip : kfGridStrips(inside, pattern.size(), results, 4 * pattern.rows))
      canvasCorrelations(image, pattern, linear, low, strip, true).copyTo(scores(strip));
  } else {
    scores = canvasCorrelations(image, pattern, linear, low, cv::Rect(cv::Point(0, 0), results), false);
  }
  // Local maxima: no neighbour within the result scores higher (as a 3 x 3
  // dilation compares them), looked at only where the floor is reached.
  const auto outscored = [&scores](int x, int y) {
    const float here = scores.at<float>(y, x);
    for (int ny = std::max(0, y - 1); ny <= std::min(scores.rows - 1, y + 1); ++ny)
      for (int nx = std::max(0, x - 1); nx <= std::min(scores.cols - 1, x + 1); ++nx)
        if (scores.at<float>(ny, nx) > here) return true;
    return false;
  };
  for (int y = 0; y < scores.rows; ++y) {
    const float* s = scores.ptr<float>(y);
    for (int x = 0; x < scores.cols; ++x) {
      if (s[x] < kCoarseFloor || outscored(x, y)) continue;
      const cv::Point2d centre = linear * (patternCentre + cv::Point2d(x, y) + low);
      if (liesInside(linear, centre, patternCentre, pattern.size(), image.size(), kTolerance))
        peaks.push_back({rotation, scale, centre, s[x]});
    }
  }
}

// Keeps the best matches (in order) that lie farther than separation from
// every better one, at most limit of them.
std::vector<AlignMatch> bestDistinct(std::vector<AlignMatch> matches, double separation, std::size_t limit) {
  std::sort(matches.begin(), matches.end(), [](const AlignMatch& a, const AlignMatch& b) { return a.score > b.score; });
  std::vector<AlignMatch> kept;
  for (const AlignMatch& m : matches) {
    if (kept.size() == limit) break;
    const bool distinct = std::all_of(kept.begin(), kept.end(), [&](const AlignMatch& k) {
      return std::hypot(k.centre.x - m.centre.x, k.centre.y - m.centre.y) > separation;
    });
    if (distinct) kept.push_back(m);
  }
  return kept;
}

}  // namespace

AlignPyramid::AlignPyramid(const cv::Mat& image, int maxLevel, int minSide) {
  levels_.push_back(image);
  while (numLevels() <= maxLevel) {
    const cv::Mat& last = levels_.back();
    if ((last.cols + 1) / 2 < minSide || (last.rows + 1) / 2 < minSide) break;
    cv::Mat next;
    cv::pyrDown(last, next);
    levels_.push_back(next);
  }
}

AlignPatternModel::AlignPatternModel(const cv::Mat& pattern, int fineLevel)
    : pattern_(pattern.clone(), 30, kMinSide),
      fineLevel_(fineLevel),
      centre_((pattern.cols - 1) * 0.5, (pattern.rows - 1) * 0.5) {
  for (int l = 0; l < pattern_.numLevels(); ++l) {
    // Reduced levels lose their edge pels to the smoothing of cv::pyrDown,
    // which reflects the pattern at its border where the image shows what
    // surrounds the pattern; correlating them would bias scale and position.
    const cv::Mat& level = pattern_.level(l);
    const int edge = l > 0 && std::min(level.cols, level.rows) >= kMinSide + 4 ? 2 : 0;
    probes_.emplace_back(level, edge, centre_ * (1.0 / (1 << l)));
  }
}

cv::Matx22d AlignPatternModel::linear(const AlignSearchSpace& space, double rotation, double scale) const {
  const double c = scale * std::cos(rotation), s = scale * std::sin(rotation);
  return space.runFromClient * cv::Matx22d(c, -s, s, c) * space.clientFromPattern;
}

int AlignPatternModel::coarseLevel(const AlignSearchSpace& space) const {
  int level = std::min(fineLevel_, pattern_.numLevels() - 1);
  auto radius = [&](int l) {
    const cv::Mat& p = pattern_.level(l);
    return 0.5 * std::hypot(p.cols, p.rows) * space.scaleHigh;
  };
  while (level + 1 < pattern_.numLevels() && radius(level) > space.coarseRadius) ++level;
  return level;
}

void AlignPatternModel::refineOnLevel(const cv::Mat& image, int level, const AlignSearchSpace& space,
                                      double rotationDelta, double logScaleDelta, AlignMatch& m) const {
  const double toLevel = 1.0 / (1 << level);
  const PoseProbe& probe = probes_[static_cast<std::size_t>(level)];
  const auto translate = [&] {
    const PoseProbe::Result r =
        probe.probe(image, linear(space, m.rotation, m.scale), m.centre * toLevel, kRefineMargin);
    m.centre = r.centre / toLevel;
    m.score = r.score;
  };
  // Rotation and scale about the pattern centre leave the best translation
  // where it is, so their steps are scored there alone, one at a time.
  const auto score = [&](double rotation, double scale) {
    return probe.probe(image, linear(space, rotation, scale), m.centre * toLevel, 0).score;
  };
  for (int move = 0;; ++move) {
    translate();
    if (rotationDelta == 0.0 && logScaleDelta == 0.0) return;
    const double here = score(m.rotation, m.scale);
    double rotationOffset = 0.0, logScaleOffset = 0.0;
    if (rotationDelta > 0.0) {
      const double below = score(m.rotation - rotationDelta, m.scale);
      const double above = score(m.rotation + rotationDelta, m.scale);
      rotationOffset = here >= below && here >= above ? alignParabolaPeak(below, here, above) : above > below ? 1 : -1;
    }
    if (logScaleDelta > 0.0) {
      const double below = score(m.rotation, m.scale * std::exp(-logScaleDelta));
      const double above = score(m.rotation, m.scale * std::exp(logScaleDelta));
      logScaleOffset = here >= below && here >= above ? alignParabolaPeak(below, here, above) : above > below ? 1 : -1;
    }
    m.rotation += rotationOffset * rotationDelta;
    m.scale *= std::exp(logScaleOffset * logScaleDelta);
    // A whole step means the best lies beyond it: look again from there.
    const bool settled = std::abs(rotationOffset) < 1.0 && std::abs(logScaleOffset) < 1.0;
    if (settled || move == kMaxMoves) break;
  }
  translate();
}

std::optional<AlignMatch> AlignPatternModel::search(const cv::Mat& image, const AlignSearchSpace& space) const {
  const std::vector<AlignMatch> candidates = searchAll(image, space);
  if (candidates.empty()) return std::nullopt;
  return *std::max_element(candidates.begin(), candidates.end(),
                           [](const AlignMatch& a, const AlignMatch& b) { return a.score < b.score; });
}

std::vector<AlignMatch> AlignPatternModel::searchAll(const cv::Mat& image, const AlignSearchSpace& space) const {
  const int coarse = coarseLevel(space);
  const int fine = std::min(fineLevel_, coarse);
  const AlignPyramid run(image, coarse, 1);
  if (run.numLevels() <= coarse) return {};
  const cv::Mat& pattern = pattern_.level(0);
  const double separation = 0.5 * std::min(pattern.cols, pattern.rows) * space.scaleLow;

  // The coarse grid.
  const cv::Mat& coarsePattern = pattern_.level(coarse);
  const double radius = 0.5 * std::hypot(coarsePattern.cols, coarsePattern.rows) * space.scaleHigh;
  double rotationStep = 0.0, logScaleStep = 0.0;
  const auto grid = [&](double step) {
    return std::make_pair(gridValues(space.rotationLow, space.rotationHigh, step / radius, rotationStep),
                          gridValues(std::log(space.scaleLow), std::log(space.scaleHigh), step / radius, logScaleStep));
  };
  auto [rotations, logScales] = grid(kCoarseStep);
  const double work = static_cast<double>(run.level(coarse).total()) * static_cast<double>(coarsePattern.total());
  for (double step = kCoarseStep; space.gridBudget > 0.0 &&
                                  static_cast<double>(rotations.size() * logScales.size()) * work > space.gridBudget;) {
    step *= kBudgetWidening;
    std::tie(rotations, logScales) = grid(step);
  }
  std::vector<AlignMatch> peaks;
  for (const double rotation : rotations) {
    for (const double logScale : logScales) {
      const double scale = std::exp(logScale);
      collectGridPeaks(run.level(coarse), coarsePattern, centre_ * (1.0 / (1 << coarse)),
                       linear(space, rotation, scale), rotation, scale, space.directInside, peaks);
    }
  }
  for (AlignMatch& p : peaks) p.centre *= static_cast<double>(1 << coarse);
  std::vector<AlignMatch> candidates = bestDistinct(std::move(peaks), separation, kCoarseCandidates);
  // Each level halves the steps of the one above; the finest level takes a
  // second, halved pass. Two levels sort out the grid's peaks; only the best
  // two go on to the finer, costlier levels.
  double rotationDelta = rotationStep / 2, logScaleDelta = logScaleStep / 2;
  for (int l = coarse; l >= fine; --l) {
    for (int pass = 0; pass < (l == fine ? 2 : 1); ++pass) {
      for (AlignMatch& m : candidates) refineOnLevel(run.level(l), l, space, rotationDelta, logScaleDelta, m);
      rotationDelta /= 2, logScaleDelta /= 2;
    }
    if (l == coarse - 1) candidates = bestDistinct(std::move(candidates), separation, 2);
  }
  // A refined pose may leave its zone by about the last steps taken; a
  // larger drift means the pattern is shown turned or scaled beyond it.
  const auto withinZones = [&](const AlignMatch& m) {
    const double s = std::log(m.scale);
    return m.rotation >= space.rotationLow - 4 * rotationDelta &&
           m.rotation <= space.rotationHigh + 4 * rotationDelta && s >= std::log(space.scaleLow) - 4 * logScaleDelta &&
           s <= std::log(space.scaleHigh) + 4 * logScaleDelta;
  };
  std::erase_if(candidates, [&](const AlignMatch& m) {
    return m.score < space.accept || !withinZones(m) ||
           !liesInside(linear(space, m.rotation, m.scale), m.centre, centre_, pattern.size(), image.size(),
                       static_cast<double>(1 << fine));
  });
  return candidates;
}
