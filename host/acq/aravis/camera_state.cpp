#include "host/acq/aravis/camera_state.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "colc/host/exceptions.h"
#include "host/acq/aravis/found_state_file.h"
#include "host/acq/aravis/genicam_device.h"

namespace {

constexpr const char* kRegion = "region";
constexpr const char* kLineKind = "state";
constexpr std::array<const char*, 3> kSelectors = {"TriggerSelector", "GainSelector", "BlackLevelSelector"};

std::int64_t integerField(const std::string& field, const std::string& line) {
  return kfRecordInteger(field, line, INT64_MIN, INT64_MAX);
}

}  // namespace

std::string kfDescribeRestoreFailures(const std::vector<kcRestoreFailure>& failures) {
  std::vector<std::string> names;
  for (const kcRestoreFailure& f : failures)
    if (std::find(names.begin(), names.end(), f.feature) == names.end()) names.push_back(f.feature);
  std::string text = "could not put back";
  for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? " " : ", ") + names[i];
  return failures.empty() ? "" : text + " (" + failures.front().reason + ")";
}

std::vector<kcCameraState::Found> kcCameraState::readSelectors(kcGenicamDevice& device) {
  std::vector<Found> selectors;
  for (const char* selector : kSelectors)
    if (device.has(selector)) selectors.push_back({selector, "", "", device.getString(selector)});
  return selectors;
}

std::vector<std::string> kcCameraState::selectorLines(kcGenicamDevice& device) {
  std::vector<std::string> lines;
  for (const Found& selector : readSelectors(device)) lines.push_back(lineOf(selector));
  return lines;
}

kcCameraState::kcCameraState(kcGenicamDevice& device, const kcCameraFeatureMap& map) : device_(device) {
  // The selectors are read before anything is read under them, and put back last.
  const std::vector<Found> selectors = readSelectors(device_);

  if (device_.has("OffsetX") && device_.has("OffsetY") && device_.has("Width") && device_.has("Height"))
    found_.push_back({kRegion, "", "", Value()});
  if (device_.has("PixelFormat")) record("PixelFormat");
  const std::string trigger = device_.offers("TriggerSelector", "FrameStart") ? "TriggerSelector" : "";
  for (const char* feature : {"TriggerSource", "TriggerMode"})
    if (device_.has(feature)) record(feature, trigger, "FrameStart");
  if (map.exposure.present()) record(map.exposure.name);
  recordScaled(map.gain, "GainSelector");
  recordScaled(map.blackLevel, "BlackLevelSelector");
  for (const char* automatic : kAutomaticFeatures)
    if (device_.has(automatic)) record(automatic);
  for (Found& f : found_) f.value = read(f);
  found_.insert(found_.end(), selectors.begin(), selectors.end());
}

kcCameraState::kcCameraState(kcGenicamDevice& device, const std::vector<std::string>& lines) : device_(device) {
  for (const std::string& line : lines) {
    const std::vector<std::string> f = kfRecordFields(line);
    if (f.empty() || f[0] != kLineKind) continue;
    if (f.size() < 6) throw kfUnreadableRecordLine(line);
    Found found{kfRecordFieldText(f[1]), kfRecordFieldText(f[2]), kfRecordFieldText(f[3]), Value()};
    const std::string& kind = f[4];
    if (kind == "text" && f.size() == 6) {
      found.value = kfRecordFieldText(f[5]);
    } else if (kind == "integer" && f.size() == 6) {
      found.value = integerField(f[5], line);
    } else if (kind == "float" && f.size() == 6) {
      found.value = kfRecordFloat(f[5], line);
    } else if (kind == "region" && f.size() == 9) {
      found.value =
          Region{integerField(f[5], line), integerField(f[6], line), integerField(f[7], line), integerField(f[8], line)};
    } else {
      throw kfUnreadableRecordLine(line);
    }
    found_.push_back(found);
  }
}

std::vector<std::string> kcCameraState::recordLines() const {
  std::vector<std::string> lines;
  for (const Found& f : found_) lines.push_back(lineOf(f));
  return lines;
}

std::string kcCameraState::lineOf(const Found& f) {
  std::string line = std::string(kLineKind) + " " + kfRecordField(f.feature) + " " + kfRecordField(f.selector) + " " +
                     kfRecordField(f.selectorEntry) + " ";
  if (const auto* text = std::get_if<std::string>(&f.value)) return line + "text " + kfRecordField(*text);
  if (const auto* number = std::get_if<std::int64_t>(&f.value)) return line + "integer " + std::to_string(*number);
  if (const auto* real = std::get_if<double>(&f.value)) return line + "float " + kfRecordFloatText(*real);
  const Region& r = std::get<Region>(f.value);
  return line + "region " + std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
         std::to_string(r.height);
}

std::string kcCameraState::textLine(const std::string& feature, const std::string& value) {
  return lineOf({feature, "", "", value});
}

void kcCameraState::record(const std::string& feature, const std::string& selector, const std::string& entry) {
  found_.push_back({feature, selector, entry, Value()});
}

void kcCameraState::recordScaled(const kcScaledFeature& feature, const char* selector) {
  if (!feature.present()) return;
  // The FIFO writes the value for all channels at once where the camera can.
  if (device_.offers(selector, "All"))
    record(feature.name, selector, "All");
  else
    record(feature.name);
}

void kcCameraState::select(const Found& found) {
  if (!found.selector.empty() && device_.getString(found.selector.c_str()) != found.selectorEntry)
    device_.setString(found.selector.c_str(), found.selectorEntry);
}

kcCameraState::Value kcCameraState::read(const Found& found) {
  select(found);
  const char* name = found.feature.c_str();
  if (found.feature == kRegion) {
    return Region{device_.getInteger("OffsetX"), device_.getInteger("OffsetY"), device_.getInteger("Width"),
                  device_.getInteger("Height")};
  }
  if (device_.isEnumeration(name)) return device_.getString(name);
  if (device_.isInteger(name)) return device_.getInteger(name);
  return device_.getFloat(name);
}

void kcCameraState::write(const Found& found) {
  const char* name = found.feature.c_str();
  if (const auto* text = std::get_if<std::string>(&found.value)) {
    device_.setString(name, *text);
  } else if (const auto* number = std::get_if<std::int64_t>(&found.value)) {
    device_.setInteger(name, *number);
  } else if (const auto* real = std::get_if<double>(&found.value)) {
    device_.setFloat(name, *real);
  } else {
    const Region& r = std::get<Region>(found.value);
    device_.setRegion(r.x, r.y, r.width, r.height);
  }
}

void kcCameraState::restore(const Found& found, std::vector<kcRestoreFailure>& failures) noexcept {
  try {
    if (read(found) != found.value) write(found);
  } catch (const std::exception& e) {
    failures.push_back({found.feature, e.what()});
  }
}

std::vector<kcRestoreFailure> kcCameraState::restore() noexcept {
  std::vector<kcRestoreFailure> failures;
  for (const Found& f : found_) restore(f, failures);
  return failures;
}

std::vector<kcRestoreFailure> kcCameraState::putBackSelectors() noexcept {
  std::vector<kcRestoreFailure> failures;
  for (const Found& f : found_)
    if (f.selector.empty() && std::find(kSelectors.begin(), kSelectors.end(), f.feature) != kSelectors.end())
      restore(f, failures);
  return failures;
}
