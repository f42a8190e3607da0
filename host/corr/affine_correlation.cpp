#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <string>
#include <vector>

#include "colc/host/corr.h"
#include "host/align/pel_frame.h"
#include "host/corr/band_pass.h"
#include "host/imaging/cv_bridge.h"

namespace {

// The refinement starts this many levels (halvings) below full resolution,
// fewer for a small training image, and works up to full resolution.
constexpr int kStartLevel = 2;
// The training image keeps at least this many pels per side on a level.
constexpr int kMinLevelSide = 16;
// The training image must be at least this many pels wide and high.
constexpr int kMinTrainSide = 8;
// Iterations and the change of the correlation at which a level stops.
constexpr int kMaxIterations = 20;
constexpr double kEpsilon = 1e-4;
// Full resolution, where an iteration costs most, only polishes the pose
// of the level above.
constexpr int kFullResolutionIterations = 3;
// How far the refinement may take the pose from the start: the pattern
// search's poses lie within about 2 pels at the corners of the truth, and
// their rotation and scale within a few tenths of a degree and percent;
// refinements that end within 0.5 pel of the truth move the corners by
// less than 1 pel, the rotation by less than 0.3 degrees, the scale and the
// non-similar part (shear, unequal scales) by less than 0.5 % (measured on
// random charts, docs/pose-finding.md). Runaway refinements move far more.
constexpr double kMaxCornerMove = 4.0;      // run pels
constexpr double kMaxRotation = 0.035;      // radians, 2 degrees
constexpr double kMaxScaleChange = 0.03;    // relative
constexpr double kMaxNonSimilarity = 0.03;  // relative to the scale

// The part of the run image that the training image covers at the warp,
// widened and cut to the image (kfCorrelationCrop).
cv::Rect footprint(const cv::Matx23d& warp, cv::Size train, cv::Size image) {
  std::array<cv::Point2d, 4> corners;
  int k = 0;
  for (const double u : {-0.5, train.width - 0.5})
    for (const double v : {-0.5, train.height - 0.5})
      corners[k++] = {warp(0, 0) * u + warp(0, 1) * v + warp(0, 2), warp(1, 0) * u + warp(1, 1) * v + warp(1, 2)};
  return kfCorrelationCrop(corners, image);
}

// The warp of the training image's inner part (its pel u is the training
// image's pel u + edge) from the warp of the whole.
cv::Matx23d innerWarp(const cv::Matx23d& warp, int edge) {
  return {warp(0, 0), warp(0, 1), warp(0, 2) + (warp(0, 0) + warp(0, 1)) * edge,
          warp(1, 0), warp(1, 1), warp(1, 2) + (warp(1, 0) + warp(1, 1)) * edge};
}

// Refines warp (training matrix -> run matrix of this level) by the
// enhanced correlation of the training image without its rim.
void refineOnLevel(const kcBandPassedLevel& level, int iterations, cv::Matx23d& warp) {
  cv::Mat inner(cv::Matx23f(innerWarp(warp, level.edge)));
  const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, iterations, kEpsilon);
  try {
    cv::findTransformECC(kfInnerTrain(level), level.run, inner, cv::MOTION_AFFINE, criteria, cv::noArray(), 1);
  } catch (const cv::Exception& e) {
    throw kcNormalizedCorrelationFailed("normalized correlation: no match near the start pose (" + e.err + ")");
  }
  warp = innerWarp(cv::Matx23d(cv::Matx23f(inner)), -level.edge);
}

// The normalised correlation of the training image without its rim with
// the run image at the warp (beyond the run image's edges, its edge pels).
double correlationAt(const kcBandPassedLevel& level, const cv::Matx23d& warp) {
  const cv::Mat inner = kfInnerTrain(level);
  cv::Mat seen;
  cv::warpAffine(level.run, seen, innerWarp(warp, level.edge), inner.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                 cv::BORDER_REPLICATE);
  cv::Mat a = inner - cv::mean(inner), b = seen - cv::mean(seen);
  const double norms = std::sqrt(a.dot(a) * b.dot(b));
  return norms > 0.0 ? a.dot(b) / norms : 0.0;
}

// True when the refined warp stays within what a start pose "within a few
// pels of the truth" leaves open: no corner of the training image moves
// by more than kMaxCornerMove run pels, and the linear part differs from
// the start's by at most kMaxRotation, kMaxScaleChange and kMaxNonSimilarity.
bool withinStartUncertainty(const cv::Matx23d& start, const cv::Matx23d& refined, cv::Size train) {
  for (const double u : {-0.5, train.width - 0.5}) {
    for (const double v : {-0.5, train.height - 0.5}) {
      const cv::Vec3d corner(u, v, 1.0);
      if (cv::norm(refined * corner - start * corner) > kMaxCornerMove) return false;
    }
  }
  // The change of the linear part, refined = change * start, split into a
  // similarity (a, -b; b, a) and the rest.
  const cv::Matx22d change = cv::Matx22d(refined(0, 0), refined(0, 1), refined(1, 0), refined(1, 1)) *
                             cv::Matx22d(start(0, 0), start(0, 1), start(1, 0), start(1, 1)).inv();
  const double a = 0.5 * (change(0, 0) + change(1, 1)), b = 0.5 * (change(1, 0) - change(0, 1));
  const double scale = std::hypot(a, b);
  const double rest = cv::norm(change - cv::Matx22d(a, -b, b, a));
  return std::abs(std::atan2(b, a)) <= kMaxRotation && std::abs(scale - 1.0) <= kMaxScaleChange &&
         rest <= kMaxNonSimilarity * scale;
}

}  // namespace

void kfNormalizedCorrelationAffinePose(const kcPelBuffer_const<unsigned char>& trainImage,
                                       const kcPelBuffer_const<unsigned char>& image, const kcXform<2>& startPose,
                                       kcNormalizedCorrelationAffineResult& result, kcDiagObject*, unsigned long) {
  const cv::Mat train = kfMatView(trainImage);
  const cv::Mat run = kfMatView(image);
  const kcXform<2> trainClientFromMat = kfClientFromMatXform(trainImage);
  const kcXform<2> runClientFromMat = kfClientFromMatXform(image);
  if (trainClientFromMat.matrix().determinant() == 0.0 || runClientFromMat.matrix().determinant() == 0.0 ||
      startPose.matrix().determinant() == 0.0)
    throw kcBadArgument("normalized correlation: singular pose or client transform");
  if (train.cols < kMinTrainSide || train.rows < kMinTrainSide)
    throw kcBadArgument("normalized correlation: training image smaller than " + std::to_string(kMinTrainSide) +
                        " pels");

  // Training matrix -> run matrix, then relative to the cropped run image.
  cv::Matx23d warp = kfToCv(runClientFromMat.inverse() * startPose * trainClientFromMat);
  const cv::Rect crop = footprint(warp, train.size(), run.size());
  if (crop.width < 2 || crop.height < 2)
    throw kcNormalizedCorrelationFailed("normalized correlation: the start pose lies outside the image");
  warp(0, 2) -= crop.x, warp(1, 2) -= crop.y;

  // Levels by cv::pyrDown, which keeps pel i of a level at 2 i of the level
  // below: the warp's linear part stays, its translation halves.
  int start = 0;
  while (start < kStartLevel && (std::min(train.cols, train.rows) >> (start + 1)) >= kMinLevelSide) ++start;
  std::vector<cv::Mat> trains{kfLinearLight(train)}, runs{kfLinearLight(run(crop))};
  for (int l = 1; l <= start; ++l) {
    trains.emplace_back(), runs.emplace_back();
    cv::pyrDown(trains[l - 1], trains[l]);
    cv::pyrDown(runs[l - 1], runs[l]);
  }
  std::vector<kcBandPassedLevel> levels;
  for (int l = 0; l <= start; ++l) levels.push_back(kfBandPassedLevel(trains[l], runs[l]));
  const cv::Matx23d startWarp = warp;
  for (int l = start; l >= 0; --l) {
    const double f = 1 << l;
    cv::Matx23d levelWarp(warp(0, 0), warp(0, 1), warp(0, 2) / f, warp(1, 0), warp(1, 1), warp(1, 2) / f);
    refineOnLevel(levels[l], l == 0 ? kFullResolutionIterations : kMaxIterations, levelWarp);
    warp = cv::Matx23d(levelWarp(0, 0), levelWarp(0, 1), levelWarp(0, 2) * f, levelWarp(1, 0), levelWarp(1, 1),
                       levelWarp(1, 2) * f);
  }
  // The refinement may run off (a pyramid level with too little structure,
  // or planes that the camera weighs unlike the training image's); the
  // start pose is kept unless the refined one lies within its uncertainty
  // and correlates better at full resolution.
  const double startScore = correlationAt(levels[0], startWarp);
  if (withinStartUncertainty(startWarp, warp, train.size())) {
    const double score = correlationAt(levels[0], warp);
    if (score > startScore) {
      warp(0, 2) += crop.x, warp(1, 2) += crop.y;
      result.pose(runClientFromMat * kfFromCv(warp) * trainClientFromMat.inverse());
      result.score(score);
      return;
    }
  }
  result.pose(startPose);
  result.score(startScore);
}
