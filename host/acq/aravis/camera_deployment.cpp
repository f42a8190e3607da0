#include "host/acq/aravis/camera_deployment.h"

#include <algorithm>
#include <optional>

#include "colc/host/exceptions.h"
#include "host/acq/aravis/camera_state.h"
#include "host/acq/aravis/found_state_file.h"
#include "host/acq/aravis/genicam_device.h"
#include "host/acq/aravis/left_state.h"
#include "host/runtime/cancellation.h"
#include "host/runtime/number_text.h"

namespace {

constexpr const char* kUserSetSelector = "UserSetSelector";

bool isIdentity(const kcLutTable& table) { return table == kfIdentityLutTable(); }

std::string onOff(bool on) { return on ? "on" : "off"; }

// The features read before anything is written, to put back when a write
// is refused or the deployment is cancelled.
class FoundFeatures {
 public:
  FoundFeatures(kcGenicamDevice& device, const kcDeploymentFeatures& features, bool transformation)
      : device_(device), features_(features), state_(device, features.map), lut_(device, features.map.lut) {
    if (transformation) transformation_.emplace(device, features.transformation);
    if (!features.userSets.empty()) userSet_ = device.getString(kUserSetSelector);
    if (!features.userSetDefault.empty()) userSetDefault_ = device.getString(features.userSetDefault.c_str());
  }

  // The selectors alone, read without moving them: what the file of what
  // was found holds before reading the features under them moves them.
  static std::vector<std::string> selectorLines(kcGenicamDevice& device, const kcDeploymentFeatures& features,
                                                bool transformation) {
    std::vector<std::string> lines = kcCameraState::selectorLines(device);
    auto add = [&](std::vector<std::string> more) { lines.insert(lines.end(), more.begin(), more.end()); };
    add(kcCameraLut::selectorLines(device, features.map.lut));
    if (transformation) add(kcCameraColorTransformation::selectorLines(device, features.transformation));
    return lines;
  }
  // Everything found, as the file of what was found keeps it
  // (found_state_file.h); the user sets' selectors as the camera state's
  // lines, which the next run puts back with the rest.
  std::vector<std::string> recordLines() const {
    std::vector<std::string> lines = state_.recordLines();
    auto add = [&](std::vector<std::string> more) { lines.insert(lines.end(), more.begin(), more.end()); };
    add(lut_.recordLines());
    if (transformation_) add(transformation_->recordLines());
    if (!userSet_.empty()) lines.push_back(kcCameraState::textLine(kUserSetSelector, userSet_));
    if (!userSetDefault_.empty()) lines.push_back(kcCameraState::textLine(features_.userSetDefault, userSetDefault_));
    return lines;
  }
  kcCameraLut& lut() { return lut_; }
  kcCameraColorTransformation& transformation() { return *transformation_; }

  // After the writes: every selector that reading and writing moved, back
  // where the user had it. Selectors only choose what a feature shows;
  // the settings written under them stay. UserSetSelector stays on the
  // saved set, as written: the camera may still be saving under it.
  std::vector<kcRestoreFailure> putBackSelectors() noexcept {
    std::vector<kcRestoreFailure> failures;
    auto add = [&](const std::vector<kcRestoreFailure>& more) { failures.insert(failures.end(), more.begin(), more.end()); };
    if (transformation_) add(transformation_->putBackSelectors());
    add(lut_.putBackSelectors());
    add(state_.putBackSelectors());
    return failures;
  }

  // What could not be put back: the user sets' selectors first, then the
  // transformation, the tables and the other features.
  std::vector<kcRestoreFailure> putBack() noexcept {
    std::vector<kcRestoreFailure> failures;
    auto add = [&](const std::vector<kcRestoreFailure>& more) { failures.insert(failures.end(), more.begin(), more.end()); };
    putBackText(failures, features_.userSetDefault, userSetDefault_);
    putBackText(failures, kUserSetSelector, userSet_);
    if (transformation_) add(transformation_->putBack());
    add(lut_.putBack());
    add(state_.restore());
    return failures;
  }

 private:
  void putBackText(std::vector<kcRestoreFailure>& failures, const std::string& feature, const std::string& value) noexcept {
    if (value.empty()) return;
    kfAttemptRestore(failures, feature, [&] {
      if (device_.getString(feature.c_str()) != value) device_.setString(feature.c_str(), value);
    });
  }

  kcGenicamDevice& device_;
  const kcDeploymentFeatures& features_;
  kcCameraState state_;
  kcCameraLut lut_;
  std::optional<kcCameraColorTransformation> transformation_;
  std::string userSet_;
  std::string userSetDefault_;
};

// Writes the plan into the camera, each write listed as it is made; or,
// without found features (a dry run), lists the writes it would make,
// reading only what needs no selector moved.
class Writer {
 public:
  Writer(kcGenicamDevice& device, const kcDeploymentFeatures& features, FoundFeatures* found)
      : device_(device), features_(features), found_(found) {}

  // Until the user set is saved, a cancellation (kfCancelRequested) stops
  // the writes with kcCancelled, for the caller to put everything back; a
  // saved set cannot be put back, so from then on the writes go on.
  std::vector<kcWrittenFeature> write(const kcDeploymentPlan& plan) {
    // The automatic functions would change what is written.
    stopIfCancelled();
    for (const char* automatic : kAutomaticFeatures)
      if (device_.offers(automatic, "Off")) text(automatic, "Off");
    // Gain and black level for all planes at once, where the camera can.
    for (const char* selector : {"GainSelector", "BlackLevelSelector"})
      if (device_.offers(selector, "All")) select(selector, "All");
    const kcCameraFeatureMap& map = features_.map;
    if (map.exposure.present()) scaled(map.exposure, kfMicroseconds(plan.exposure));
    if (map.gain.present()) scaled(map.gain, map.gain.fromUnit(plan.contrast));
    if (map.blackLevel.present()) scaled(map.blackLevel, map.blackLevel.fromUnit(plan.brightness));
    stopIfCancelled();
    if (plan.tables) tables(*plan.tables);
    stopIfCancelled();
    if (plan.transformation) transformation(*plan.transformation);
    if (!plan.userSet.empty()) {
      text(kUserSetSelector, plan.userSet);
      stopIfCancelled();
      if (found_) device_.execute("UserSetSave");
      written_.push_back({"UserSetSave", "", plan.userSet});
      // Chosen for power-up only once saved: a camera switched off in
      // between powers up as before, not with a set half old.
      if (plan.makeDefault) text(features_.userSetDefault.c_str(), plan.userSet);
    }
    return written_;
  }

 private:
  void stopIfCancelled() const {
    if (found_ && kfCancelRequested()) throw kcCancelled();
  }

  // A selector moved to reach a feature: not a setting, so not listed;
  // put back as found after the writes.
  void select(const char* selector, const std::string& entry) {
    if (found_ && device_.getString(selector) != entry) device_.setString(selector, entry);
  }

  void text(const char* feature, const std::string& value) {
    const std::string before = device_.getString(feature);
    if (found_ && before != value) device_.setString(feature, value);
    written_.push_back({feature, before, found_ ? device_.getString(feature) : value});
  }

  void scaled(const kcScaledFeature& feature, double value) {
    const double before = feature.read(device_);
    if (found_) feature.write(device_, value);
    written_.push_back(
        {feature.name, kfNumberText(before), kfNumberText(found_ ? feature.read(device_) : feature.held(value))});
  }

  void tables(const kcLutTables& tables) {
    const char* planes[] = {"Red", "Green", "Blue"};
    std::array<std::string, 3> before;
    if (found_) {
      for (std::size_t k = 0; k < 3; ++k) before[k] = isIdentity(found_->lut().initial()[k]) ? "off" : "a table, on";
      const std::array<bool, 3> byColc = found_->lut().load(tables);
      if (std::find(byColc.begin(), byColc.end(), true) != byColc.end())
        throw kcBadArgument("camera " + device_.name() + " cannot hold these tables (8-bit, per plane)");
    }
    for (std::size_t k = 0; k < 3; ++k)
      written_.push_back({std::string("LUT ") + planes[k], before[k], isIdentity(tables[k]) ? "off" : "the table, on"});
  }

  void transformation(const kcColorTransformationValues& values) {
    kcColorTransformationValues before{}, now = values;
    if (found_) {
      kcCameraColorTransformation& t = found_->transformation();
      t.write(values);
      before = t.found();
      now = t.read();
    }
    for (std::size_t i = 0; i < values.size(); ++i)
      written_.push_back({std::string("ColorTransformationValue ") + kfColorTransformationValueNames()[i],
                          found_ ? kfNumberText(before[i]) : "", kfNumberText(now[i])});
    written_.push_back({"ColorTransformationEnable", onOff(features_.transformation.on), onOff(true)});
  }

  kcGenicamDevice& device_;
  const kcDeploymentFeatures& features_;
  FoundFeatures* found_;
  std::vector<kcWrittenFeature> written_;
};

}  // namespace

kcDeploymentFeatures kfDeploymentFeatures(kcGenicamDevice& device) {
  kcDeploymentFeatures features;
  features.map = kfMapCameraFeatures(device);
  features.transformation = kfColorTransformationFeatures(device);
  if (device.has(kUserSetSelector)) features.userSets = device.entries(kUserSetSelector);
  features.userSetSave = device.has("UserSetSave");
  for (const char* name : {"UserSetDefault", "UserSetDefaultSelector"})
    if (features.userSetDefault.empty() && device.has(name)) features.userSetDefault = name;
  return features;
}

std::vector<std::string> kfDescribeDeploymentFeatures(const kcDeploymentFeatures& f) {
  std::string transformation = "colour transformation: ";
  if (f.transformation.present)
    transformation += "ColorTransformationValue " + kfNumberText(f.transformation.min) + " .. " +
                      kfNumberText(f.transformation.max) + (f.transformation.on ? ", on" : ", off");
  else
    transformation += "none; colc deploy puts a colour correction's pel maps in the tables";
  std::string sets = "user sets: ";
  if (f.userSets.empty() || !f.userSetSave) {
    sets += "none; a deployment lasts until the camera is switched off";
  } else {
    for (std::size_t i = 0; i < f.userSets.size(); ++i) sets += (i ? ", " : "") + f.userSets[i];
    sets += f.userSetDefault.empty() ? " (no power-up choice)" : ", the power-up set by " + f.userSetDefault;
  }
  return {transformation, sets};
}

kcCameraDeployment::kcCameraDeployment(const std::string& deviceId,
                                       const std::function<void(const std::string&)>& waiting,
                                       const std::string& stateFolder)
    : device_(std::make_unique<kcGenicamDevice>(deviceId, waiting)), stateFolder_(stateFolder) {
  features_ = kfDeploymentFeatures(*device_);
  kfPutBackLeftState(*device_, features_.map.lut, kcFoundStateFile(stateFolder, device_->name()), waiting);
  identity_ = kfReadCameraIdentity(*device_);
  pixelFormat_ = device_->has("PixelFormat") ? device_->getString("PixelFormat") : "";
  width_ = device_->has("Width") ? static_cast<long>(device_->getInteger("Width")) : 0;
  height_ = device_->has("Height") ? static_cast<long>(device_->getInteger("Height")) : 0;
}

kcCameraDeployment::~kcCameraDeployment() = default;

const std::string& kcCameraDeployment::name() const { return device_->name(); }

std::vector<kcWrittenFeature> kcCameraDeployment::dryRun(const kcDeploymentPlan& plan) {
  checkUserSet(plan);
  return Writer(*device_, features_, nullptr).write(plan);
}

void kcCameraDeployment::checkUserSet(const kcDeploymentPlan& plan) const {
  if (!plan.userSet.empty()) {
    if (std::find(features_.userSets.begin(), features_.userSets.end(), plan.userSet) == features_.userSets.end() ||
        !features_.userSetSave)
      throw kcBadArgument("camera " + name() + " has no user set " + plan.userSet + " to save to");
    if (plan.makeDefault && features_.userSetDefault.empty())
      throw kcBadArgument("camera " + name() + " cannot choose the user set it loads at power-up (no UserSetDefault)");
  }
}

std::vector<kcWrittenFeature> kcCameraDeployment::write(const kcDeploymentPlan& plan) {
  checkUserSet(plan);
  // A run killed while it writes leaves the file, and the next run that
  // opens the camera puts back what it says. Reading under a selector
  // moves it: the selectors are kept first.
  const kcFoundStateFile file(stateFolder_, name());
  const bool transformation = plan.transformation.has_value();
  file.write(FoundFeatures::selectorLines(*device_, features_, transformation));
  FoundFeatures found(*device_, features_, transformation);
  file.write(found.recordLines());
  // Puts back what was found: "" when all of it, else what not, and the
  // file stays for the next run.
  auto putBackAll = [&]() -> std::string {
    const std::string notRestored = kfDescribeRestoreFailures(found.putBack());
    if (notRestored.empty()) {
      file.remove();
      return "";
    }
    return "camera " + name() + " " + notRestored + "; what colc found stays in '" + file.path() +
           "' for the next run to put back";
  };
  try {
    const std::vector<kcWrittenFeature> written = Writer(*device_, features_, &found).write(plan);
    if (const std::string moved = kfDescribeRestoreFailures(found.putBackSelectors()); !moved.empty())
      throw kcIOError("camera " + name() + ": " + moved);
    file.remove();
    return written;
  } catch (const kcCancelled&) {
    if (const std::string notRestored = putBackAll(); !notRestored.empty())
      throw kcIOError("cancelled, and " + notRestored);
    throw;
  } catch (const std::exception& e) {
    const auto* stated = dynamic_cast<const kcExceptionWithString*>(&e);
    const std::string refused = stated ? stated->text() : e.what();
    const std::string notRestored = putBackAll();
    throw kcIOError(refused + "; " + (notRestored.empty() ? "every feature colc touched is put back as found" : notRestored));
  }
}
