#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <string>
#include <vector>

#include "colc/host/corr.h"
#include "host/align/pel_frame.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/srgb.h"

namespace {

// The refinement starts this many levels (halvings) below full resolution,
// fewer for a small training image, and works up to full resolution.
constexpr int kStartLevel = 2;
// The training image keeps at least this many pels per side on a level.
constexpr int kMinLevelSide = 16;
// Run-image pels kept around the start pose's footprint: room for the
// start error and the smoothing and gradient kernels.
constexpr int kCropMargin = 16;
// The training image is compared without a rim, whose width is chosen per
// level where the image is flattest just outside it. In the rim the target
// meets its surroundings, and both images are smoothed (by the pyramid, by a
// Gaussian for the gradients and, in the run image, by the camera) with
// what lies beyond the compared part: an edge just outside it would blur
// into it differently in the two images and pull the pose.
constexpr int kMinRim = 4;
constexpr int kMaxRim = 24;
constexpr int kRimBand = 3;  // pels outside the compared part that must be flat
// The training image must be at least this many pels wide and high.
constexpr int kMinTrainSide = 8;
// Iterations and the change of the correlation at which a level stops.
constexpr int kMaxIterations = 20;
constexpr double kEpsilon = 1e-4;
// Full resolution, where an iteration costs most, only polishes the pose
// of the level above.
constexpr int kFullResolutionIterations = 3;
// The width (sigma, in pels of a level) of the blur that the band-pass
// takes away; 2 kept the errors lowest both on random charts and on the
// simulated camera's chart.
constexpr double kBandPassSigma = 2.0;
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

// The pels in linear light (0 to 255), taking them as sRGB-encoded: the
// camera's optics and resampling blend light, so edges blur alike in both
// images only there, and a blur that does not would pull the pose.
cv::Mat linearLight(const cv::Mat& pels) {
  static const cv::Mat table = [] {
    cv::Mat t(1, 256, CV_32F);
    for (int i = 0; i < 256; ++i) {
      t.at<float>(i) = static_cast<float>(255.0 * kfSrgbDecode(i / 255.0));
    }
    return t;
  }();
  cv::Mat linear;
  cv::LUT(pels, table, linear);
  return linear;
}

// The part of the run image that the training image covers at the warp,
// widened by kCropMargin and cut to the image; empty when they do not meet.
cv::Rect footprint(const cv::Matx23d& warp, cv::Size train, cv::Size image) {
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  for (const double u : {-0.5, train.width - 0.5}) {
    for (const double v : {-0.5, train.height - 0.5}) {
      const double x = warp(0, 0) * u + warp(0, 1) * v + warp(0, 2);
      const double y = warp(1, 0) * u + warp(1, 1) * v + warp(1, 2);
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  const double limit = 1e9;  // keeps a wild pose from overflowing int
  const cv::Rect box(cv::Point(static_cast<int>(std::clamp(std::floor(left) - kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::floor(top) - kCropMargin, -limit, limit))),
                     cv::Point(static_cast<int>(std::clamp(std::ceil(right) + kCropMargin, -limit, limit)),
                               static_cast<int>(std::clamp(std::ceil(bottom) + kCropMargin, -limit, limit))));
  return box & cv::Rect(cv::Point(0, 0), image);
}

// The rim width (kMinRim to kMaxRim, at most a sixth of the shorter
// side) with the least gradient in the kRimBand rings just outside it.
int flattestRim(const cv::Mat& image) {
  const int widest = std::min(kMaxRim, std::min(image.cols, image.rows) / 6);
  if (widest <= kMinRim) return std::max(0, widest);
  cv::Mat dx, dy, magnitude, sums;
  cv::Sobel(image, dx, CV_32F, 1, 0);
  cv::Sobel(image, dy, CV_32F, 0, 1);
  cv::magnitude(dx, dy, magnitude);
  cv::integral(magnitude, sums, CV_64F);
  const auto inside = [&](int inset) {  // gradient within the rectangle inset pels in
    const int x0 = inset, y0 = inset, x1 = image.cols - inset, y1 = image.rows - inset;
    return sums.at<double>(y1, x1) - sums.at<double>(y0, x1) - sums.at<double>(y1, x0) + sums.at<double>(y0, x0);
  };
  int best = kMinRim;
  double least = HUGE_VAL;
  for (int rim = kMinRim; rim <= widest; ++rim) {
    const double band = inside(rim - kRimBand) - inside(rim);
    if (band < least) least = band, best = rim;
  }
  return best;
}

// One pyramid level of both images, smoothed alike and band-passed, and
// the rim left out of the training image there.
struct Level {
  cv::Mat train, run;
  int edge = 0;
};

// The images smoothed, less a wider blur of themselves: flat areas become
// 0 and only edges remain. The correlation can fit one gain and offset of
// the levels; a camera that weighs the colour planes unlike the training
// image's intensity renders each patch of a chart with a level of its own,
// and in the plain images those mismatches pull the edges between patches
// by tenths of a pel, while a band-passed edge stays centred whatever its
// height (random charts: corner errors up to 0.38 pel plain, 0.15 band-passed).
Level smoothedLevel(const cv::Mat& train, const cv::Mat& run) {
  Level level;
  cv::GaussianBlur(train, level.train, cv::Size(5, 5), 0.0);
  cv::GaussianBlur(run, level.run, cv::Size(5, 5), 0.0);
  level.edge = flattestRim(level.train);
  for (cv::Mat* image : {&level.train, &level.run}) {
    cv::Mat wide;
    cv::GaussianBlur(*image, wide, cv::Size(), kBandPassSigma);
    *image -= wide;
  }
  return level;
}

// The warp of the training image's inner part (its pel u is the training
// image's pel u + edge) from the warp of the whole.
cv::Matx23d innerWarp(const cv::Matx23d& warp, int edge) {
  return {warp(0, 0), warp(0, 1), warp(0, 2) + (warp(0, 0) + warp(0, 1)) * edge,
          warp(1, 0), warp(1, 1), warp(1, 2) + (warp(1, 0) + warp(1, 1)) * edge};
}

cv::Mat innerPart(const Level& level) {
  const int e = level.edge;
  return level.train(cv::Rect(e, e, level.train.cols - 2 * e, level.train.rows - 2 * e));
}

// Refines warp (training matrix -> run matrix of this level) by the
// enhanced correlation of the training image without its rim.
void refineOnLevel(const Level& level, int iterations, cv::Matx23d& warp) {
  cv::Mat inner(cv::Matx23f(innerWarp(warp, level.edge)));
  const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, iterations, kEpsilon);
  try {
    cv::findTransformECC(innerPart(level), level.run, inner, cv::MOTION_AFFINE, criteria, cv::noArray(), 1);
  } catch (const cv::Exception& e) {
    throw kcNormalizedCorrelationFailed("normalized correlation: no match near the start pose (" + e.err + ")");
  }
  warp = innerWarp(cv::Matx23d(cv::Matx23f(inner)), -level.edge);
}

// The normalised correlation of the training image without its rim with
// the run image at the warp (beyond the run image's edges, its edge pels).
double correlationAt(const Level& level, const cv::Matx23d& warp) {
  const cv::Mat inner = innerPart(level);
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
  std::vector<cv::Mat> trains{linearLight(train)}, runs{linearLight(run(crop))};
  for (int l = 1; l <= start; ++l) {
    trains.emplace_back(), runs.emplace_back();
    cv::pyrDown(trains[l - 1], trains[l]);
    cv::pyrDown(runs[l - 1], runs[l]);
  }
  std::vector<Level> levels;
  for (int l = 0; l <= start; ++l) levels.push_back(smoothedLevel(trains[l], runs[l]));
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
