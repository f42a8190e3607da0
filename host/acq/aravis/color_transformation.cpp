#include "host/acq/aravis/color_transformation.h"

#include <algorithm>

#include "colc/host/exceptions.h"
#include "host/acq/aravis/found_state_file.h"
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
    : device_(&device), selectorEntry_(features.selector), foundSelectors_(readSelectors(device, features)) {
  select();
  foundOn_ = device_->getBoolean(kEnable);
  found_ = read();
}

kcCameraColorTransformation::kcCameraColorTransformation(kcGenicamDevice& device) : device_(&device) {}

kcCameraColorTransformation::Selectors kcCameraColorTransformation::readSelectors(
    kcGenicamDevice& device, const kcColorTransformationFeatures& features) {
  Selectors found;
  if (!features.present) return found;
  if (!features.selector.empty()) found.selector = device.getString(kSelector);
  found.valueSelector = device.getString(kValueSelector);
  return found;
}

std::vector<std::string> kcCameraColorTransformation::linesOf(const Selectors& selectors) {
  std::vector<std::string> lines;
  if (!selectors.selector.empty()) lines.push_back("ct-selector " + kfRecordField(selectors.selector));
  if (!selectors.valueSelector.empty()) lines.push_back("ct-value-selector " + kfRecordField(selectors.valueSelector));
  return lines;
}

std::vector<std::string> kcCameraColorTransformation::selectorLines(kcGenicamDevice& device,
                                                                    const kcColorTransformationFeatures& features) {
  return linesOf(readSelectors(device, features));
}

// "ct-values ENTRY ON V0 .. V11": the selector entry the values are
// under, the switch (0 or 1) and the twelve values, each read back to the
// same double.
std::vector<std::string> kcCameraColorTransformation::recordLines() const {
  std::vector<std::string> lines = linesOf(foundSelectors_);
  if (found_) {
    std::string line = "ct-values " + kfRecordField(selectorEntry_) + (foundOn_ ? " 1" : " 0");
    for (const double value : *found_) line += " " + kfRecordFloatText(value);
    lines.push_back(line);
  }
  return lines;
}

std::optional<kcCameraColorTransformation> kcCameraColorTransformation::fromRecord(
    kcGenicamDevice& device, const std::vector<std::string>& lines) {
  std::optional<kcCameraColorTransformation> record;
  auto made = [&]() -> kcCameraColorTransformation& {
    if (!record) record.emplace(kcCameraColorTransformation(device));
    return *record;
  };
  for (const std::string& line : lines) {
    const std::vector<std::string> f = kfRecordFields(line);
    if (f[0] == "ct-selector" && f.size() == 2) {
      made().foundSelectors_.selector = kfRecordFieldText(f[1]);
    } else if (f[0] == "ct-value-selector" && f.size() == 2) {
      made().foundSelectors_.valueSelector = kfRecordFieldText(f[1]);
    } else if (f[0] == "ct-values" && f.size() == 3 + 12) {
      kcCameraColorTransformation& t = made();
      t.selectorEntry_ = kfRecordFieldText(f[1]);
      t.foundOn_ = kfRecordInteger(f[2], line, 0, 1) == 1;
      kcColorTransformationValues values{};
      for (std::size_t i = 0; i < values.size(); ++i) values[i] = kfRecordFloat(f[3 + i], line);
      t.found_ = values;
    } else if (f[0].rfind("ct-", 0) == 0) {
      throw kfUnreadableRecordLine(line);
    }
  }
  return record;
}

void kcCameraColorTransformation::select() {
  if (!selectorEntry_.empty()) device_->setString(kSelector, selectorEntry_);
}

kcColorTransformationValues kcCameraColorTransformation::read() {
  select();
  kcColorTransformationValues values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    device_->setString(kValueSelector, kfColorTransformationValueNames()[i]);
    values[i] = device_->getFloat(kValue);
  }
  return values;
}

void kcCameraColorTransformation::write(const kcColorTransformationValues& values) {
  select();
  for (std::size_t i = 0; i < values.size(); ++i) {
    device_->setString(kValueSelector, kfColorTransformationValueNames()[i]);
    device_->setFloat(kValue, values[i]);
  }
  device_->setBoolean(kEnable, true);
}

std::vector<kcRestoreFailure> kcCameraColorTransformation::putBack() noexcept {
  std::vector<kcRestoreFailure> failures;
  if (found_) {
    kfAttemptRestore(failures, kValue, [&] {
      select();
      for (std::size_t i = 0; i < found_->size(); ++i) {
        device_->setString(kValueSelector, kfColorTransformationValueNames()[i]);
        device_->setFloat(kValue, (*found_)[i]);
      }
    });
    kfAttemptRestore(failures, kEnable, [&] { device_->setBoolean(kEnable, foundOn_); });
  }
  const std::vector<kcRestoreFailure> selectors = putBackSelectors();
  failures.insert(failures.end(), selectors.begin(), selectors.end());
  return failures;
}

std::vector<kcRestoreFailure> kcCameraColorTransformation::putBackSelectors() noexcept {
  std::vector<kcRestoreFailure> failures;
  const Selectors& found = foundSelectors_;
  if (!found.valueSelector.empty())
    kfAttemptRestore(failures, kValueSelector, [&] { device_->setString(kValueSelector, found.valueSelector); });
  if (!found.selector.empty()) kfAttemptRestore(failures, kSelector, [&] { device_->setString(kSelector, found.selector); });
  return failures;
}
