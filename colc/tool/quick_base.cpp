#include "colc/tool/internal/quick_base.h"

#include <algorithm>
#include <cmath>

#include "colc/tool/internal/exposure_grid.h"

namespace {

// Clipped at full scale: more than this share of the samples; the level
// then drops by kSaturatedStep, since the model cannot see how far.
constexpr double kSaturatedShare = 0.02;
constexpr double kSaturatedStep = 0.25;
// Above this contrast the gain's slope flattens (on the simulated camera
// 2.2 per unit contrast at 0.75 .. 0.9 against 2.8 at 0.5 .. 0.65), and a
// slope learnt there misjudges the level at the low contrast the search
// ends at: the base moves to the least contrast at about its level.
constexpr double kHighestBaseContrast = 0.5;
// Far from full scale: the model puts it more than this factor away; the
// base then moves to kBaseShare of it.
constexpr double kFarFromFullScale = 6.0;
constexpr double kBaseShare = 0.9;
// With no model at all (too few samples off the ends) the level and the
// brightness step up blindly by these.
constexpr double kBlindLevelStep = 4.0;
constexpr double kBlindBrightnessStep = 0.1;
// A base whose black under the flat areas is below zero clips the
// target's dark end; it moves to this black (in full scale), through the
// black's slope when the probes have not taught it yet.
constexpr double kBaseBlack = 0.004;
constexpr double kUnmodelledGainSlope = 2.0;  // log level per unit contrast when unknown
// Before the gain's slope is known the contrast takes over from the
// exposure only for more than this factor of level that the exposure's
// range leaves undone: less, the next base's model takes in its stride.
constexpr double kExposureShortfall = 1.5;

double unitInterval(double v) { return std::clamp(v, 0.0, 1.0); }

// The share of the view's samples, over its planes, at full scale.
double saturatedShare(const kc3PlanePelBuffer& view) {
  std::size_t saturated = 0, all = 0;
  for (int k = 0; k < 3; ++k) {
    const kcPelBuffer<unsigned char>& plane = view.pelPlane(k);
    for (long y = plane.window().top; y < plane.window().bottom; ++y) {
      const unsigned char* row = plane.pointToRow(y);
      saturated += static_cast<std::size_t>(std::count(row, row + plane.width(), 255));
      all += static_cast<std::size_t>(plane.width());
    }
  }
  return all > 0 ? static_cast<double>(saturated) / static_cast<double>(all) : 0.0;
}

// from with its level scaled, before the gain's slope is known: the
// exposure first, the contrast by a typical slope for what the exposure
// range leaves.
kcColorCameraSettings scaledBlindly(const kcColorCalibrationParams& params, const kcColorCameraSettings& from,
                                    double level) {
  kcColorCameraSettings s = from;
  if (level == 1.0) return s;
  if (params.isExposureEnabled() && from.exposure() > 0.0)
    s.exposure(kfAdmissibleExposure(params, from.exposure() * level));
  const double rest = from.exposure() > 0.0 && s.exposure() > 0.0 ? level * from.exposure() / s.exposure() : level;
  if (params.isContrastEnabled() && std::fabs(std::log(rest)) > std::log(kExposureShortfall))
    s.contrast(unitInterval(from.contrast() + std::log(rest) / kUnmodelledGainSlope));
  return s;
}

}  // namespace

std::optional<kcColorCameraSettings> kfBetterQuickBase(const kcColorCalibrationParams& params,
                                                       const kcColorCameraSettings& base,
                                                       const std::optional<kcCameraResponse>& model,
                                                       const kc3PlanePelBuffer& view) {
  const bool saturated = saturatedShare(view) > kSaturatedShare;
  const bool blind = !model && !saturated;
  double level = 1.0;
  if (saturated) {
    level = kSaturatedStep;
  } else if (blind) {
    level = kBlindLevelStep;
  } else if (const double full = model->fullScaleLevel();
             full > kFarFromFullScale || full * kFarFromFullScale < 1.0) {
    level = kBaseShare * full;
  }
  kcColorCameraSettings s = scaledBlindly(params, base, level);
  if (params.isContrastEnabled() && params.isExposureEnabled() && s.contrast() > kHighestBaseContrast) {
    const double contrast = s.contrast();
    s.contrast(0.0);
    s = scaledBlindly(params, s, std::exp(kUnmodelledGainSlope * contrast));
  }
  if (params.isBrightnessEnabled()) {
    const std::optional<double> black = model ? model->unclippedBlack() : std::nullopt;
    if (blind) s.brightness(unitInterval(base.brightness() + kBlindBrightnessStep));
    if (black && *black < 0.0)
      s.brightness(unitInterval(base.brightness() + (kBaseBlack - *black) / kUnmodelledBlackSlope));
  }
  if (s == base) return std::nullopt;
  return s;
}
