#include "colc/host/target_finder.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "host/align/target_candidates.h"
#include "host/corr/homography_refinement.h"
#include "host/corr/target_score.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/plane_pose.h"

namespace {

// The reference must be at least this many pels wide and high, and its
// pels must spread by at least kLeastSpread grey levels (standard deviation).
constexpr int kLeastSide = 16;
constexpr double kLeastSpread = 2.0;
// Scales are searched this factor beyond the allowed ones, so that a target
// shown too small or too large is found and its scale told.
constexpr double kDiagnosisReach = 1.6;
// The shortening of the looks for a target at a steep slant: cos 35
// degrees, within a tenth of the shortening of slants from 25 to 45.
constexpr double kSteepSquash = 0.82;
// The best candidates of the pattern search that are refined and scored.
constexpr std::size_t kVerified = 4;
// A target whose area in view falls short of all by more than this share
// is partly out of view.
constexpr double kOutOfViewShare = 1e-3;
// A view (or the target's part of it) is too dark to match when its
// brightest pels, all but kBrightShare of them, stay at kDarkLevel or below,
// and clipped when more than kClippedShare of its pels are at kClippedLevel
// or above.
constexpr double kBrightShare = 0.01;
constexpr int kDarkLevel = 24;
constexpr double kClippedShare = 0.3;
constexpr int kClippedLevel = 254;

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

std::vector<cv::Point2f> polygon(const std::array<cv::Point2d, 4>& corners) {
  std::vector<cv::Point2f> p;
  for (const cv::Point2d& c : corners) p.emplace_back(static_cast<float>(c.x), static_cast<float>(c.y));
  return p;
}

// The share of the quadrilateral's area that lies inside the view (its
// pels' outer edges in matrix coordinates).
double shareInView(const std::array<cv::Point2d, 4>& corners, cv::Size view) {
  const std::vector<cv::Point2f> quad = polygon(corners);
  if (!cv::isContourConvex(quad)) return 0.0;
  const double area = cv::contourArea(quad);
  if (!(area > 0.0)) return 0.0;
  const float r = static_cast<float>(view.width - 0.5), b = static_cast<float>(view.height - 0.5);
  const std::vector<cv::Point2f> box{{-0.5f, -0.5f}, {r, -0.5f}, {r, b}, {-0.5f, b}};
  std::vector<cv::Point2f> common;
  return std::clamp(cv::intersectConvexConvex(quad, box, common) / area, 0.0, 1.0);
}

// Too dark or too clipped to match, judged on the view's pels under mask
// (all of them for an empty mask); eNotFound when neither.
keTargetFinding exposureFinding(const cv::Mat& view, const cv::Mat& mask) {
  cv::Mat histogram;
  const int channels[] = {0}, bins[] = {256};
  const float range[] = {0.0f, 256.0f};
  const float* ranges[] = {range};
  cv::calcHist(&view, 1, channels, mask, histogram, 1, bins, ranges);
  const double total = cv::sum(histogram)[0];
  if (!(total > 0.0)) return keTargetFinding::eNotFound;
  double clipped = 0.0, dark = 0.0;
  for (int v = 0; v < 256; ++v) {
    const double n = histogram.at<float>(v);
    if (v >= kClippedLevel) clipped += n;
    if (v <= kDarkLevel) dark += n;
  }
  if (clipped > kClippedShare * total) return keTargetFinding::eClipped;
  if (dark >= (1.0 - kBrightShare) * total) return keTargetFinding::eTooDark;
  return keTargetFinding::eNotFound;
}

// The pose's figures at the target's centre and the finding they give.
void describe(const cv::Mat& reference, const cv::Mat& view, const kcTargetSearchParams& params,
              const cv::Matx33d& pose, kcTargetMatch& match) {
  const cv::Point2d centre((reference.cols - 1) * 0.5, (reference.rows - 1) * 0.5);
  const cv::Matx22d j = kfJacobianAt(pose, centre);
  match.scale = std::sqrt(std::abs(cv::determinant(j)));
  // Counter-clockwise as displayed, where y points down.
  match.rotationDegrees = std::atan2(-j(1, 0), j(0, 0)) * kDegreesPerRadian;
  // A plane at slant t, seen locally, is shortened by cos t across its axis
  // of tilt: the ratio of the linear part's singular values.
  cv::Vec2d singular;
  cv::SVD::compute(cv::Mat(j), singular, cv::SVD::NO_UV);
  match.tiltDegrees =
      singular[0] > 0.0 ? std::acos(std::clamp(singular[1] / singular[0], 0.0, 1.0)) * kDegreesPerRadian : 90.0;
  const std::array<cv::Point2d, 4> corners = kfMappedCorners(pose, reference.size());
  match.inView = shareInView(corners, view.size());
  if (match.score < kTargetScoreRefuse) {
    // The match failed: a view too dark or too clipped there says why.
    cv::Mat quad(view.size(), CV_8U, cv::Scalar(0));
    std::vector<cv::Point> outline;
    for (const cv::Point2f& c : polygon(corners))
      outline.emplace_back(static_cast<int>(std::lround(std::clamp(c.x, -1e6f, 1e6f))),
                           static_cast<int>(std::lround(std::clamp(c.y, -1e6f, 1e6f))));
    cv::fillConvexPoly(quad, outline, cv::Scalar(255));
    const keTargetFinding exposure = exposureFinding(view, quad);
    match.finding = exposure == keTargetFinding::eNotFound ? keTargetFinding::ePoorMatch : exposure;
  } else if (match.scale < params.minScale) {
    match.finding = keTargetFinding::eTooSmall;
  } else if (match.scale > params.maxScale) {
    match.finding = keTargetFinding::eTooLarge;
  } else if (match.tiltDegrees > params.maxTiltDegrees) {
    match.finding = keTargetFinding::eTooTilted;
  } else if (match.inView < 1.0 - kOutOfViewShare) {
    match.finding = keTargetFinding::ePartlyOutOfView;
  } else {
    match.finding = keTargetFinding::eFound;
  }
}

// Image coordinates of a buffer's window from its view's matrix coordinates.
cv::Matx33d imageFromMat(const kc_PelBuffer& buffer) {
  return {1.0, 0.0, buffer.window().left + 0.5, 0.0, 1.0, buffer.window().top + 0.5, 0.0, 0.0, 1.0};
}

}  // namespace

kcTargetMatch kfFindTarget(const kcPelBuffer_const<unsigned char>& view,
                           const kcPelBuffer_const<unsigned char>& reference, const kcTargetSearchParams& params) {
  if (!view.isBound() || !reference.isBound()) throw kcBadPointer("target finding: unbound image");
  if (!(params.minScale > 0.0) || !(params.maxScale >= params.minScale) || !std::isfinite(params.maxScale))
    throw kcBadArgument("target finding: the scales must be positive and finite, the least not above the greatest");
  const cv::Mat ref = kfMatView(reference), seen = kfMatView(view);
  if (ref.cols < kLeastSide || ref.rows < kLeastSide)
    throw kcBadArgument("target finding: the reference must be at least " + std::to_string(kLeastSide) + " x " +
                        std::to_string(kLeastSide) + " pels");
  cv::Scalar mean, spread;
  cv::meanStdDev(ref, mean, spread);
  if (spread[0] < kLeastSpread) throw kcBadArgument("target finding: the reference is too flat to be found");

  kcTargetMatch match;
  if (seen.cols < kLeastSide || seen.rows < kLeastSide) return match;
  // The looks taken while nothing matches: square to the view over the
  // allowed scales, then over the scales just beyond them, then shortened
  // across four directions as by a steep slant, then reaching out of view.
  const kcCandidateSearch allowed{params.minScale, params.maxScale, params.quarterTurns};
  std::vector<kcCandidateSearch> looks{allowed, allowed, allowed};
  looks[1].minScale = params.minScale / kDiagnosisReach, looks[1].maxScale = params.minScale;
  looks[2].minScale = params.maxScale, looks[2].maxScale = params.maxScale * kDiagnosisReach;
  for (const double axis : {0.0, 45.0, 90.0, 135.0}) {
    looks.push_back(allowed);
    looks.back().squash = kSteepSquash, looks.back().squashAxisDegrees = axis;
  }
  looks.push_back(allowed);
  looks.back().partlyOutOfView = true;
  double best = -HUGE_VAL;
  cv::Matx33d bestPose;
  // The best candidates refined and scored, the start poses too; the
  // best-scoring pose wins. A pose scoring above the warning ends the look.
  for (const kcCandidateSearch& look : looks) {
    if (best >= kTargetScoreRefuse) break;
    const std::vector<kcTargetCandidate> candidates = kfTargetCandidates(seen, ref, look);
    for (std::size_t c = 0; c < std::min(kVerified, candidates.size()) && best < kTargetScoreWarn; ++c) {
      const cv::Matx33d start = candidates[c].pose;
      const kcHomographyFit fit = kfRefineHomography(ref, seen, start);
      for (const cv::Matx33d& pose : {fit.pose, start}) {
        const double score = kfTargetScore(ref, seen, pose);
        if (score > best) best = score, bestPose = pose;
      }
    }
  }
  if (best == -HUGE_VAL) {
    // Nothing resembles the target: a view too dark or too clipped says why.
    match.finding = exposureFinding(seen, cv::Mat());
    return match;
  }
  match.score = std::max(best, -1.0);
  match.pose = kfFromCv(imageFromMat(view) * bestPose * imageFromMat(reference).inv());
  describe(ref, seen, params, bestPose, match);
  return match;
}
