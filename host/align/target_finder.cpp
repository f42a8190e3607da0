#include "colc/host/target_finder.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>
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
// The best candidates of the pattern search that are refined and scored.
constexpr std::size_t kVerified = 4;
// A target whose area in view falls short of all by more than this share
// is partly out of view.
constexpr double kOutOfViewShare = 1e-3;

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// The share of the quadrilateral's area that lies inside the rectangle.
double shareInside(const std::array<cv::Point2d, 4>& corners, const cv::Rect2d& rect) {
  std::vector<cv::Point2f> quad, box{{static_cast<float>(rect.x), static_cast<float>(rect.y)},
                                     {static_cast<float>(rect.x + rect.width), static_cast<float>(rect.y)},
                                     {static_cast<float>(rect.x + rect.width), static_cast<float>(rect.y + rect.height)},
                                     {static_cast<float>(rect.x), static_cast<float>(rect.y + rect.height)}};
  for (const cv::Point2d& c : corners) quad.emplace_back(static_cast<float>(c.x), static_cast<float>(c.y));
  if (!cv::isContourConvex(quad)) return 0.0;
  const double area = cv::contourArea(quad);
  if (!(area > 0.0)) return 0.0;
  std::vector<cv::Point2f> common;
  return std::clamp(cv::intersectConvexConvex(quad, box, common) / area, 0.0, 1.0);
}

// The pose's figures at the target's centre and the finding they give.
void describe(const cv::Mat& reference, const cv::Mat& view, const kcTargetSearchParams& params,
              kcTargetMatch& match, const cv::Matx33d& pose) {
  const cv::Point2d centre((reference.cols - 1) * 0.5, (reference.rows - 1) * 0.5);
  const cv::Matx22d j = kfJacobianAt(pose, centre);
  match.scale = std::sqrt(std::abs(cv::determinant(j)));
  // Counter-clockwise as displayed, where y points down.
  match.rotationDegrees = std::atan2(-j(1, 0), j(0, 0)) * kDegreesPerRadian;
  // A plane at slant t, seen locally, is shortened by cos t across its axis
  // of tilt: the ratio of the linear part's singular values.
  cv::Vec2d singular;
  cv::SVD::compute(cv::Mat(j), singular, cv::SVD::NO_UV);
  match.tiltDegrees = singular[0] > 0.0 ? std::acos(std::clamp(singular[1] / singular[0], 0.0, 1.0)) * kDegreesPerRadian
                                        : 90.0;
  match.inView = shareInside(kfMappedCorners(pose, reference.size()), cv::Rect2d(-0.5, -0.5, view.cols, view.rows));
  if (match.score < kTargetScoreRefuse)
    match.finding = keTargetFinding::ePoorMatch;
  else if (match.scale < params.minScale)
    match.finding = keTargetFinding::eTooSmall;
  else if (match.scale > params.maxScale)
    match.finding = keTargetFinding::eTooLarge;
  else if (match.tiltDegrees > params.maxTiltDegrees)
    match.finding = keTargetFinding::eTooTilted;
  else if (match.inView < 1.0 - kOutOfViewShare)
    match.finding = keTargetFinding::ePartlyOutOfView;
  else
    match.finding = keTargetFinding::eFound;
}

// Image coordinates of a buffer's window from its view's matrix coordinates.
cv::Matx33d imageFromMat(const kc_PelBuffer& buffer) {
  return {1.0, 0.0, buffer.window().left + 0.5, 0.0, 1.0, buffer.window().top + 0.5, 0.0, 0.0, 1.0};
}

}  // namespace

kcTargetMatch kfFindTarget(const kcPelBuffer_const<unsigned char>& view,
                           const kcPelBuffer_const<unsigned char>& reference, const kcTargetSearchParams& params) {
  if (!view.isBound() || !reference.isBound()) throw kcBadPointer("target finding: unbound image");
  if (!(params.minScale > 0.0) || !(params.maxScale >= params.minScale))
    throw kcBadArgument("target finding: the scales must be positive, the least not above the greatest");
  const cv::Mat ref = kfMatView(reference), seen = kfMatView(view);
  if (ref.cols < kLeastSide || ref.rows < kLeastSide)
    throw kcBadArgument("target finding: the reference must be at least " + std::to_string(kLeastSide) + " x " +
                        std::to_string(kLeastSide) + " pels");
  cv::Scalar mean, spread;
  cv::meanStdDev(ref, mean, spread);
  if (spread[0] < kLeastSpread) throw kcBadArgument("target finding: the reference is too flat to be found");

  kcTargetMatch match;
  if (seen.cols < kLeastSide || seen.rows < kLeastSide) return match;
  const std::vector<kcTargetCandidate> candidates =
      kfTargetCandidates(seen, ref, {params.minScale, params.maxScale, params.quarterTurns});
  if (candidates.empty()) return match;

  double best = -HUGE_VAL;
  cv::Matx33d bestPose;
  for (std::size_t c = 0; c < std::min(kVerified, candidates.size()); ++c) {
    const cv::Matx33d start = candidates[c].pose;
    const kcHomographyFit fit = kfRefineHomography(ref, seen, start);
    for (const cv::Matx33d& pose : {fit.pose, start}) {
      const double score = kfTargetScore(ref, seen, pose);
      if (score > best) best = score, bestPose = pose;
    }
  }
  match.score = std::max(best, -1.0);
  match.pose = kfFromCv(imageFromMat(view) * bestPose * imageFromMat(reference).inv());
  describe(ref, seen, params, match, bestPose);
  return match;
}
