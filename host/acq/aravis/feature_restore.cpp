#include "host/acq/aravis/feature_restore.h"

#include <arv.h>

#include <algorithm>

#include "colc/host/exceptions.h"
#include "host/acq/aravis/genicam_device.h"

namespace {

constexpr const char* kRegion = "region";

}  // namespace

bool kcFeatureRestore::remembered(const std::string& feature) const {
  return std::any_of(originals_.begin(), originals_.end(), [&](const Original& o) { return o.feature == feature; });
}

void kcFeatureRestore::setString(const char* feature, const std::string& value) {
  const std::string now = device_.getString(feature);
  if (now == value) return;
  if (!remembered(feature)) originals_.push_back({feature, now});
  device_.setString(feature, value);
}

void kcFeatureRestore::setInteger(const char* feature, std::int64_t value) {
  const std::int64_t now = device_.getInteger(feature);
  if (now == value) return;
  if (!remembered(feature)) originals_.push_back({feature, now});
  device_.setInteger(feature, value);
}

void kcFeatureRestore::setRegion(long x, long y, long width, long height) {
  device_.checkPresent();
  gint ox = 0, oy = 0, ow = 0, oh = 0;
  GError* error = nullptr;
  arv_camera_get_region(device_.camera(), &ox, &oy, &ow, &oh, &error);
  device_.check(error, "region");
  if (ox == x && oy == y && ow == width && oh == height) return;
  if (!remembered(kRegion)) originals_.push_back({kRegion, Region{ox, oy, ow, oh}});
  // Aravis moves the offsets to 0 first, so any region within the sensor
  // can follow any other.
  arv_camera_set_region(device_.camera(), static_cast<gint>(x), static_cast<gint>(y), static_cast<gint>(width),
                        static_cast<gint>(height), &error);
  device_.check(error, "region " + std::to_string(width) + " x " + std::to_string(height) + " at (" +
                           std::to_string(x) + ", " + std::to_string(y) + ")");
}

std::vector<std::string> kcFeatureRestore::restore() noexcept {
  std::vector<std::string> failures;
  for (auto o = originals_.rbegin(); o != originals_.rend(); ++o) {
    if (device_.isGone()) {
      failures.push_back("camera no longer answers: " + o->feature + " not restored");
      continue;
    }
    try {
      if (const auto* text = std::get_if<std::string>(&o->value)) {
        device_.setString(o->feature.c_str(), *text);
      } else if (const auto* number = std::get_if<std::int64_t>(&o->value)) {
        device_.setInteger(o->feature.c_str(), *number);
      } else {
        const Region& r = std::get<Region>(o->value);
        GError* error = nullptr;
        arv_camera_set_region(device_.camera(), static_cast<gint>(r.x), static_cast<gint>(r.y),
                              static_cast<gint>(r.width), static_cast<gint>(r.height), &error);
        device_.check(error, kRegion);
      }
    } catch (const std::exception& e) {
      failures.push_back(e.what());
    }
  }
  originals_.clear();
  return failures;
}
