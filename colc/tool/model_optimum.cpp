#include "colc/tool/internal/model_optimum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "colc/balance/balance.h"
#include "colc/tool/internal/measurement_order.h"

namespace {

// Levels from a little below full scale up to full scale, where the
// brightest patches would begin to clip, which no pel map brings back. A
// dimmer view would need its pel maps to amplify its noise and the steps
// between its pels; the prediction cannot show that, since it scales the
// base view's noise with the level, so it is not offered dimmer levels.
constexpr double kDimmestShare = 0.8;
constexpr double kBrightestShare = 1.0;
constexpr int kGridSteps = 8;  // intervals over the levels
constexpr int kHalvings = 5;

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

// The brightness is the one at which the black level reaches zero: the
// prediction scales the base view's noise with the level, so it sees dark
// samples clip more often than the camera's and prefers a lifted black,
// which on measured views costs the pel maps colour. Only the level is
// searched.
kcModelOptimum kfModelOptimum(const kcCameraResponse& model, const kcColorCalibrationParams& params,
                              const kc3PlanePelBuffer& reference, const kcModelBounds& bounds) {
  const double fullScale = model.fullScaleLevel();
  const double low = std::log(std::clamp(kDimmestShare * fullScale, bounds.lowestLevel, bounds.highestLevel));
  const double high = std::log(std::clamp(kBrightestShare * fullScale, bounds.lowestLevel, bounds.highestLevel));
  const double brightness =
      std::clamp(model.blackZeroBrightness(), bounds.lowestBrightness, bounds.highestBrightness);
  const auto score = [&](double logLevel) {
    return kfPredictedScore(params, reference, model.predictedView(std::exp(logLevel), brightness));
  };
  double best = low;
  double bestScore = std::numeric_limits<double>::infinity();
  for (int i = 0; i <= kGridSteps; ++i) {
    const double logLevel = low + (high - low) * i / kGridSteps;
    const double s = score(logLevel);
    if (s < bestScore) best = logLevel, bestScore = s;
  }
  // Between the grid's points: probe either side, halving the step
  // whenever neither probe improves.
  double step = (high - low) / kGridSteps / 2;
  for (int halving = 0; halving < kHalvings;) {
    bool improved = false;
    for (const double move : {step, -step}) {
      const double logLevel = std::clamp(best + move, low, high);
      const double s = score(logLevel);
      if (s < bestScore) best = logLevel, bestScore = s, improved = true;
    }
    if (!improved) step /= 2, ++halving;
  }
  return {std::exp(best), brightness};
}
