// The candidate settings of one cycle of the pattern search, and the walk
// through them that skips settings the parameters hold fixed.
#include <cmath>

#include "colc/tool/internal/exposure_grid.h"
#include "colc/tool/tool.h"
#include "colc/tool/internal/tool_state.h"

namespace {

constexpr double kExposureFactor = 0.15;           // relative exposure step per unit of scale
constexpr double kContrastBrightnessFactor = 0.02;  // absolute step per unit of scale
constexpr double kDuplicateTolerance = 1e-15;

// low, mid, high with neighbours closer than the tolerance counted once.
std::vector<double> distinctValues(double low, double mid, double high) {
  std::vector<double> values{low};
  if (std::fabs(mid - values.back()) > kDuplicateTolerance) values.push_back(mid);
  if (std::fabs(high - values.back()) > kDuplicateTolerance) values.push_back(high);
  return values;
}

// Contrast and brightness: a step of d either side, bounded by 0 and 1
// (the centre itself is not clamped).
std::vector<double> unitIntervalValues(double centre, double d) {
  const double low = centre - d > 0.0 ? centre - d : 0.0;
  const double high = centre + d < 1.0 ? centre + d : 1.0;
  return distinctValues(low, centre, high);
}

std::vector<double> exposureValues(const kcColorCalibrationParams& params, double e, double scale) {
  const double f = scale * kExposureFactor;
  double values[3] = {(1.0 - f) * e, e, (1.0 + f) * e};
  for (double& v : values) v = kfAdmissibleExposure(params, v);
  return distinctValues(values[0], values[1], values[2]);
}

}  // namespace

std::vector<kcColorCameraSettings> kcColorCalibrationTool::planCandidates(const kcColorCalibrationParams& params,
                                                                          const kcColorCameraSettings& centre,
                                                                          double scale) {
  const std::vector<double> exposures = exposureValues(params, centre.exposure(), scale);
  const double d = scale * kContrastBrightnessFactor;
  const std::vector<double> contrasts = unitIntervalValues(centre.contrast(), d);
  const std::vector<double> brightnesses = unitIntervalValues(centre.brightness(), d);

  std::vector<kcColorCameraSettings> plan;
  for (double e : exposures) {
    for (double c : contrasts) {
      for (double b : brightnesses) {
        if (e == centre.exposure() && c == centre.contrast() && b == centre.brightness()) continue;
        plan.emplace_back(e, c, b);
      }
    }
  }
  return plan;
}

void kcColorCalibrationTool::initializeSettingsForColorImage() {
  kcColorCalibrationToolState& s = *state_;
  if (s.firstMeasurement) {
    s.cycleCount = 0;
    s.searchScale = kInitialSearchScale;
  }
  s.candidates = planCandidates(params_, nextSettings_, s.searchScale);
  // The first cycle also measures the start settings themselves, last.
  if (s.firstMeasurement) s.candidates.push_back(nextSettings_);
  s.candidateIndex = 0;
  s.improved = false;
  assignNextSettings();
}

bool kcColorCalibrationTool::assignNextSettings() {
  kcColorCalibrationToolState& s = *state_;
  // A disabled setting must keep the value it has now, exactly.
  const auto admissible = [this](const kcColorCameraSettings& c) {
    if (!params_.isExposureEnabled() && c.exposure() != nextSettings_.exposure()) return false;
    if (!params_.isContrastEnabled() && c.contrast() != nextSettings_.contrast()) return false;
    if (!params_.isBrightnessEnabled() && c.brightness() != nextSettings_.brightness()) return false;
    return true;
  };
  const auto count = static_cast<std::int32_t>(s.candidates.size());
  std::int32_t i = s.candidateIndex;
  while (i < count && !admissible(s.candidates[static_cast<std::size_t>(i)])) ++i;
  if (i >= count) {
    if (s.candidateIndex < count) s.candidateIndex = count;
    return false;
  }
  s.candidateIndex = i;
  const kcColorCameraSettings& c = s.candidates[static_cast<std::size_t>(i)];
  nextSettings_.brightness(c.brightness());
  nextSettings_.contrast(c.contrast());
  nextSettings_.exposure(c.exposure());
  return true;
}
