#include "app/calibration_options.h"

#include <cmath>
#include <filesystem>

std::string exposureRangeProblem(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return "the exposure range is MIN:MAX, in seconds";
  double bounds[2];
  const std::string parts[2] = {text.substr(0, colon), text.substr(colon + 1)};
  for (int i = 0; i < 2; ++i) {
    std::size_t used = 0;
    try {
      bounds[i] = std::stod(parts[i], &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != parts[i].size() || !std::isfinite(bounds[i]))
      return "'" + parts[i] + "' in the exposure range is not a number";
  }
  if (bounds[0] < 0 || bounds[0] > bounds[1]) return "the exposure range needs 0 <= MIN <= MAX";
  return "";
}

static kcRange exposureRangeOf(const std::string& text) {
  const std::size_t colon = text.find(':');
  return kcRange(std::stod(text.substr(0, colon)), std::stod(text.substr(colon + 1)));
}

kcColorCalibrationParams paramsOf(const CalibrateOptions& o) {
  kcColorCalibrationParams params;
  params.isExposureEnabled(!o.noExposure);
  params.isContrastEnabled(!o.noContrast);
  params.isBrightnessEnabled(!o.noBrightness);
  if (!o.exposureRange.empty()) params.exposureRange(exposureRangeOf(o.exposureRange));
  params.minExposureStepSize(o.minExposureStep);
  params.usePositive8BitLut(!o.noPositiveLut);
  params.allowPelMapping(!o.noPelMapping);
  return params;
}

std::string notFoundViewPath(const CalibrateOptions& o) {
  if (!o.saveView.empty()) return o.saveView;
  if (!o.report.empty()) return (std::filesystem::path(o.report) / "view.png").string();
  return "colc-view.png";
}
