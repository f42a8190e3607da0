#include "host/acq/aravis/color_transformation.h"

#include <algorithm>

#include "host/acq/aravis/genicam_device.h"

namespace {

constexpr const char* kSelector = "ColorTransformationSelector";
constexpr const char* kValueSelector = "ColorTransformationValueSelector";
constexpr const char* kValue = "ColorTransformationValue";
constexpr const char* kEnable = "ColorTransformationEnable";

}  // namespace

const std::array<const char*, 12>& kfColorTransformationValueNames() {
  static const std::array<const char*, 12> names = {"Gain00", "Gain01", "Gain02", "Gain10", "Gain11", "Gain12",
                                                    "Gain20", "Gain21", "Gain22", "Offset0", "Offset1", "Offset2"};
  return names;
}

kcColorTransformationFeatures kfColorTransformationFeatures(kcGenicamDevice& device) {
  kcColorTransformationFeatures features;
  if (!device.has(kValueSelector) || !device.has(kValue) || !device.has(kEnable) || device.isInteger(kValue))
    return features;
  const std::vector<std::string> entries = device.entries(kValueSelector);
  for (const char* name : kfColorTransformationValueNames())
    if (std::find(entries.begin(), entries.end(), name) == entries.end()) return features;
  if (device.has(kSelector)) {
    const std::vector<std::string> selectors = device.entries(kSelector);
    if (selectors.empty()) return features;
    features.selector = device.offers(kSelector, "RGBtoRGB") ? "RGBtoRGB" : selectors.front();
  }
  std::tie(features.min, features.max) = device.floatBounds(kValue);
  features.on = device.getBoolean(kEnable);
  features.present = true;
  return features;
}

kcCameraColorTransformation::kcCameraColorTransformation(kcGenicamDevice& device,
                                                         const kcColorTransformationFeatures& features)
    : device_(device), features_(features) {
  if (!features_.selector.empty()) foundSelector_ = device_.getString(kSelector);
  foundValueSelector_ = device_.getString(kValueSelector);
  select();
  foundOn_ = device_.getBoolean(kEnable);
  found_ = read();
}

void kcCameraColorTransformation::select() {
  if (!features_.selector.empty()) device_.setString(kSelector, features_.selector);
}

kcColorTransformationValues kcCameraColorTransformation::read() {
  select();
  kcColorTransformationValues values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    device_.setString(kValueSelector, kfColorTransformationValueNames()[i]);
    values[i] = device_.getFloat(kValue);
  }
  return values;
}

void kcCameraColorTransformation::write(const kcColorTransformationValues& values) {
  select();
  for (std::size_t i = 0; i < values.size(); ++i) {
    device_.setString(kValueSelector, kfColorTransformationValueNames()[i]);
    device_.setFloat(kValue, values[i]);
  }
  device_.setBoolean(kEnable, true);
}

std::vector<kcRestoreFailure> kcCameraColorTransformation::putBack() noexcept {
  std::vector<kcRestoreFailure> failures;
  kfAttemptRestore(failures, kValue, [&] {
    select();
    for (std::size_t i = 0; i < found_.size(); ++i) {
      device_.setString(kValueSelector, kfColorTransformationValueNames()[i]);
      device_.setFloat(kValue, found_[i]);
    }
  });
  kfAttemptRestore(failures, kEnable, [&] { device_.setBoolean(kEnable, foundOn_); });
  const std::vector<kcRestoreFailure> selectors = putBackSelectors();
  failures.insert(failures.end(), selectors.begin(), selectors.end());
  return failures;
}

std::vector<kcRestoreFailure> kcCameraColorTransformation::putBackSelectors() noexcept {
  std::vector<kcRestoreFailure> failures;
  kfAttemptRestore(failures, kValueSelector, [&] { device_.setString(kValueSelector, foundValueSelector_); });
  if (!features_.selector.empty())
    kfAttemptRestore(failures, kSelector, [&] { device_.setString(kSelector, foundSelector_); });
  return failures;
}
