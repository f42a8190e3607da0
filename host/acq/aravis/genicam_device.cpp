#include "host/acq/aravis/genicam_device.h"

#include <arv.h>

#include <algorithm>
#include <memory>

#include "colc/host/exceptions.h"

namespace {

// Frees what a GLib call handed over, on every exit.
struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

// Errors after which the camera cannot be expected to answer again.
bool meansGone(const GError* error) {
  return error->domain == ARV_DEVICE_ERROR &&
         (error->code == ARV_DEVICE_ERROR_TIMEOUT || error->code == ARV_DEVICE_ERROR_NOT_CONNECTED ||
          error->code == ARV_DEVICE_ERROR_TRANSFER_ERROR);
}

std::string orEmpty(const char* text) { return text ? text : ""; }

}  // namespace

kcGenicamDevice::kcGenicamDevice(const std::string& deviceId) {
  GError* error = nullptr;
  camera_ = arv_camera_new(deviceId.empty() ? nullptr : deviceId.c_str(), &error);
  const std::string shown = deviceId.empty() ? "the first camera found" : "camera '" + deviceId + "'";
  if (!camera_) {
    ErrorPtr owned(error);
    throw kcIOError("cannot open " + shown + ": " + (error ? error->message : "no such camera"));
  }
  if (error) g_error_free(error);
  // Out-of-range values are refused by Aravis rather than sent to the
  // camera, so a mapping fault shows as an error and not as a silent clamp.
  arv_camera_set_range_check_policy(camera_, ARV_RANGE_CHECK_POLICY_ENABLE);
  controlLostHandler_ = g_signal_connect(arv_camera_get_device(camera_), "control-lost",
                                         G_CALLBACK(&kcGenicamDevice::onControlLost), this);
  try {
    name_ = vendor() + " " + model() + " (" + serial() + ")";
  } catch (...) {
    g_signal_handler_disconnect(arv_camera_get_device(camera_), controlLostHandler_);
    g_object_unref(camera_);
    throw;
  }
}

kcGenicamDevice::~kcGenicamDevice() {
  g_signal_handler_disconnect(arv_camera_get_device(camera_), controlLostHandler_);
  g_object_unref(camera_);
}

// Runs on the heartbeat's thread.
void kcGenicamDevice::onControlLost(void*, void* self) { static_cast<kcGenicamDevice*>(self)->gone_ = true; }

void kcGenicamDevice::checkPresent() const {
  if (gone_) throw kcIOError("camera " + name_ + " no longer answers");
}

void kcGenicamDevice::check(GError* error, const std::string& what) {
  if (!error) return;
  ErrorPtr owned(error);
  if (meansGone(error)) gone_ = true;
  throw kcIOError("camera " + (name_.empty() ? std::string("being opened") : name_) + ": " + what + ": " +
                  error->message);
}

namespace {

// One feature access: refuses at once when the camera is gone, otherwise
// calls Aravis and turns its error into kcIOError.
template <class Call>
auto access(kcGenicamDevice& device, const char* feature, Call call) {
  device.checkPresent();
  GError* error = nullptr;
  auto result = call(&error);
  device.check(error, feature);
  return result;
}

template <class Call>
void accessVoid(kcGenicamDevice& device, const char* feature, Call call) {
  device.checkPresent();
  GError* error = nullptr;
  call(&error);
  device.check(error, feature);
}

}  // namespace

std::string kcGenicamDevice::vendor() {
  return orEmpty(access(*this, "vendor", [&](GError** e) { return arv_camera_get_vendor_name(camera_, e); }));
}

std::string kcGenicamDevice::model() {
  return orEmpty(access(*this, "model", [&](GError** e) { return arv_camera_get_model_name(camera_, e); }));
}

std::string kcGenicamDevice::serial() {
  return orEmpty(
      access(*this, "serial number", [&](GError** e) { return arv_camera_get_device_serial_number(camera_, e); }));
}

std::string kcGenicamDevice::deviceId() {
  return orEmpty(access(*this, "device id", [&](GError** e) { return arv_camera_get_device_id(camera_, e); }));
}

bool kcGenicamDevice::has(const char* feature) {
  return access(*this, feature, [&](GError** e) { return arv_camera_is_feature_available(camera_, feature, e); });
}

bool kcGenicamDevice::isInteger(const char* feature) {
  checkPresent();
  ArvGcNode* node = arv_device_get_feature(arv_camera_get_device(camera_), feature);
  return node && ARV_IS_GC_INTEGER(node);
}

double kcGenicamDevice::getFloat(const char* feature) {
  return access(*this, feature, [&](GError** e) { return arv_camera_get_float(camera_, feature, e); });
}

void kcGenicamDevice::setFloat(const char* feature, double value) {
  accessVoid(*this, feature, [&](GError** e) { arv_camera_set_float(camera_, feature, value, e); });
}

std::pair<double, double> kcGenicamDevice::floatBounds(const char* feature) {
  std::pair<double, double> bounds;
  accessVoid(*this, feature,
             [&](GError** e) { arv_camera_get_float_bounds(camera_, feature, &bounds.first, &bounds.second, e); });
  return bounds;
}

std::int64_t kcGenicamDevice::getInteger(const char* feature) {
  return access(*this, feature, [&](GError** e) { return arv_camera_get_integer(camera_, feature, e); });
}

void kcGenicamDevice::setInteger(const char* feature, std::int64_t value) {
  accessVoid(*this, feature, [&](GError** e) { arv_camera_set_integer(camera_, feature, value, e); });
}

std::pair<std::int64_t, std::int64_t> kcGenicamDevice::integerBounds(const char* feature) {
  gint64 min = 0, max = 0;
  accessVoid(*this, feature, [&](GError** e) { arv_camera_get_integer_bounds(camera_, feature, &min, &max, e); });
  return {min, max};
}

bool kcGenicamDevice::getBoolean(const char* feature) {
  return access(*this, feature, [&](GError** e) { return arv_camera_get_boolean(camera_, feature, e); });
}

void kcGenicamDevice::setBoolean(const char* feature, bool value) {
  accessVoid(*this, feature, [&](GError** e) { arv_camera_set_boolean(camera_, feature, value, e); });
}

std::string kcGenicamDevice::getString(const char* feature) {
  return orEmpty(access(*this, feature, [&](GError** e) { return arv_camera_get_string(camera_, feature, e); }));
}

void kcGenicamDevice::setString(const char* feature, const std::string& value) {
  accessVoid(*this, feature, [&](GError** e) { arv_camera_set_string(camera_, feature, value.c_str(), e); });
}

std::vector<std::string> kcGenicamDevice::entries(const char* feature) {
  guint count = 0;
  const char** names = access(*this, feature, [&](GError** e) {
    return arv_camera_dup_available_enumerations_as_strings(camera_, feature, &count, e);
  });
  std::vector<std::string> result;
  for (guint i = 0; names && i < count; ++i) result.emplace_back(names[i]);
  g_free(names);  // the array is ours, its strings belong to the camera
  return result;
}

bool kcGenicamDevice::offers(const char* feature, const std::string& entry) {
  if (!has(feature)) return false;
  const std::vector<std::string> all = entries(feature);
  return std::find(all.begin(), all.end(), entry) != all.end();
}

void kcGenicamDevice::execute(const char* command) {
  accessVoid(*this, command, [&](GError** e) { arv_camera_execute_command(camera_, command, e); });
}
