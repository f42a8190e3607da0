#include "colc/tool/internal/model_optimum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "colc/balance/balance.h"
#include "colc/tool/internal/measurement_order.h"

namespace {

// Levels from a little below full scale up to full scale, where the
// brightest patches would begin to clip, which no pel map brings back. A dimmer
// view would need its pel maps to amplify its noise and the steps between
// its pels; the prediction cannot show that, since it scales the base
// view's noise with the level, so it is not offered dimmer levels.
constexpr double kDimmestShare = 0.8;
constexpr double kBrightestShare = 1.0;
// Brightnesses within this much black level (in full scale) of zero: the
// prediction scales the base view's noise with the level, so it sees dark
// samples clip more often than the camera's and prefers a lifted black,
// which on measured views costs the pel maps colour.
constexpr double kBlackSpan = 0.0;
constexpr int kGridSteps = 8;  // intervals per axis
constexpr int kHalvings = 5;

struct Point {
  double logLevel;
  double brightness;
};

}  // namespace

double kfPredictedScore(const kcColorCalibrationParams& params, const kc3PlanePelBuffer& reference,
                        const kc3PlanePelBuffer& view) {
  if (!params.allowPelMapping()) {
    kcHistoStats d0, d1, d2;
    kfPlaneDifferenceStats(view, reference, d0, d1, d2);
    return (d1.mean() + d0.mean()) + d2.mean();
  }
  kcColorCalibrationResultInternal fits;
  try {
    kfComputeColorCalibration(view, reference, fits, nullptr, 0);
  } catch (const kcException&) {
    return std::numeric_limits<double>::infinity();  // a view the fit refuses is the worst
  }
  return fits.results().empty() ? std::numeric_limits<double>::infinity() : kfFitScore(fits);
}

kcModelOptimum kfModelOptimum(const kcCameraResponse& model, const kcColorCalibrationParams& params,
                              const kc3PlanePelBuffer& reference, const kcModelBounds& bounds) {
  const double fullScale = model.fullScaleLevel();
  const double lowLevel = std::clamp(kDimmestShare * fullScale, bounds.lowestLevel, bounds.highestLevel);
  const double highLevel = std::clamp(kBrightestShare * fullScale, bounds.lowestLevel, bounds.highestLevel);
  const double zero = model.blackZeroBrightness();
  const double span = model.blackKnown() ? kBlackSpan / std::max(std::fabs(model.meanBlackSlope()), 1e-9) : 0.0;
  const double lowBrightness = std::clamp(zero - span, bounds.lowestBrightness, bounds.highestBrightness);
  const double highBrightness = std::clamp(zero + span, bounds.lowestBrightness, bounds.highestBrightness);

  const Point low{std::log(lowLevel), lowBrightness}, high{std::log(highLevel), highBrightness};
  const auto score = [&](const Point& p) {
    return kfPredictedScore(params, reference, model.predictedView(std::exp(p.logLevel), p.brightness));
  };
  Point best = low;
  double bestScore = std::numeric_limits<double>::infinity();
  for (int i = 0; i <= kGridSteps; ++i) {
    for (int j = 0; j <= kGridSteps; ++j) {
      const Point p{low.logLevel + (high.logLevel - low.logLevel) * i / kGridSteps,
                    low.brightness + (high.brightness - low.brightness) * j / kGridSteps};
      const double s = score(p);
      if (s < bestScore) best = p, bestScore = s;
    }
  }
  // Between the grid's points: probe either side along each axis, halving
  // the steps whenever no probe improves.
  double levelStep = (high.logLevel - low.logLevel) / kGridSteps / 2;
  double brightnessStep = (high.brightness - low.brightness) / kGridSteps / 2;
  for (int halving = 0; halving < kHalvings;) {
    bool improved = false;
    for (const Point move :
         {Point{levelStep, 0}, Point{-levelStep, 0}, Point{0, brightnessStep}, Point{0, -brightnessStep}}) {
      const Point p{std::clamp(best.logLevel + move.logLevel, low.logLevel, high.logLevel),
                    std::clamp(best.brightness + move.brightness, low.brightness, high.brightness)};
      const double s = score(p);
      if (s < bestScore) best = p, bestScore = s, improved = true;
    }
    if (!improved) levelStep /= 2, brightnessStep /= 2, ++halving;
  }
  return {std::exp(best.logLevel), best.brightness};
}
