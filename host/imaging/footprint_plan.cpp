#include "host/imaging/footprint_plan.h"

#include <algorithm>
#include <cmath>

#include "host/imaging/footprint_weights.h"

namespace {

// The footprint's standard deviation in sample spacings (the geometric mean
// of the two spacings, so that it is round in the scene). Measured on views
// of a chart moved by fractions of a pel (the phase test of the affine
// sampling): at 0.5 a sample changes by at most 3 pel values and 0.35 on
// average, at 0.4 by up to 3 and 0.54; point samples by up to 68 and 1.9.
// A patch a few samples wide still keeps samples that only its own colour
// reaches.
constexpr double kSigmaPerSpacing = 0.5;
// The narrowest Gaussian, in pels of a level of halvings, still smooth
// enough across pels for the sample's phase not to show: on the phase test
// of the affine sampling, 0.75 pel gives the same as 1 pel, at a quarter of
// the cost where it saves a halving.
constexpr double kNarrowest = 0.75;
// The variance of bilinear reading's tent, in pels^2.
constexpr double kTentVariance = 1.0 / 6.0;

// The pels the footprints reach: the sample centres' bounding box widened
// by reach, cut to the plane, and never empty (samples far outside read
// the edge pels nearest to them).
cv::Rect reachedPels(const cv::Matx23d& dstToSrc, cv::Size size, double reach, cv::Size plane) {
  double left = HUGE_VAL, right = -HUGE_VAL, top = HUGE_VAL, bottom = -HUGE_VAL;
  for (const double j : {0.0, size.height - 1.0})
    for (const double i : {0.0, size.width - 1.0}) {
      const double x = dstToSrc(0, 0) * i + dstToSrc(0, 1) * j + dstToSrc(0, 2);
      const double y = dstToSrc(1, 0) * i + dstToSrc(1, 1) * j + dstToSrc(1, 2);
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  // The caller keeps sample centres within 2^19 pels of the plane, so these fit an int.
  const int x0 = std::clamp(static_cast<int>(std::floor(left - reach)), 0, plane.width - 1);
  const int y0 = std::clamp(static_cast<int>(std::floor(top - reach)), 0, plane.height - 1);
  const int x1 = std::clamp(static_cast<int>(std::ceil(right + reach)) + 1, x0 + 1, plane.width);
  const int y1 = std::clamp(static_cast<int>(std::ceil(bottom + reach)) + 1, y0 + 1, plane.height);
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

kcFootprintPlan kfFootprintPlan(cv::Size planeSize, const cv::Matx23d& dstToSrc, cv::Size size) {
  const double spacing =
      std::sqrt(std::hypot(dstToSrc(0, 0), dstToSrc(1, 0)) * std::hypot(dstToSrc(0, 1), dstToSrc(1, 1)));
  // The footprint's variance in pels^2: bilinear reading's own at a spacing
  // of one pel, where resampling turns into plain bilinear reading, growing
  // to about (kSigmaPerSpacing x spacing)^2 at wide spacings.
  // A grid spaced wider than a pel one way may be far closer the other, so
  // that the mean spacing is below a pel: bilinear reading's own then.
  double footprint = kTentVariance + kSigmaPerSpacing * kSigmaPerSpacing * std::max(0.0, spacing * spacing - 1.0);
  // A footprint wider than the plane reads all of it (spacings too wide
  // for a double, too).
  const double widest = static_cast<double>(planeSize.width) * planeSize.width +
                        static_cast<double>(planeSize.height) * planeSize.height;
  if (!(footprint <= widest)) footprint = widest;
  kcFootprintPlan plan;
  plan.reached = reachedPels(dstToSrc, size, (kcFootprintWeights::kReach + 2.0) * std::sqrt(footprint) + 4.0, planeSize);

  // Each halving blurs with variance 1 of its input's pels (the binomial
  // kernel of cv::pyrDown, which suppresses what would alias) and keeps
  // level pel u at 2 u of the level below. Halving stops before the
  // Gaussian left for the level would be narrower than kNarrowest of its
  // pels.
  double scale = 1.0, variance = 0.0;
  cv::Size level = plan.reached.size();
  const auto gaussianLeft = [&](double atScale) { return footprint - variance - kTentVariance * atScale * atScale; };
  const auto narrowest = [](double atScale) { return kNarrowest * kNarrowest * atScale * atScale; };
  while (gaussianLeft(2.0 * scale) - scale * scale >= narrowest(2.0 * scale) && std::min(level.width, level.height) >= 4) {
    level = cv::Size((level.width + 1) / 2, (level.height + 1) / 2);
    ++plan.halvings;
    variance += scale * scale;
    scale *= 2.0;
  }
  plan.sigma = std::min(std::sqrt(std::max(0.0, gaussianLeft(scale))) / scale, kcFootprintWeights::kWidest);
  plan.onLevel = cv::Matx23d(dstToSrc(0, 0) / scale, dstToSrc(0, 1) / scale, (dstToSrc(0, 2) - plan.reached.x) / scale,
                             dstToSrc(1, 0) / scale, dstToSrc(1, 1) / scale, (dstToSrc(1, 2) - plan.reached.y) / scale);
  return plan;
}
