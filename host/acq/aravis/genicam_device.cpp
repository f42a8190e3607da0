#include "host/acq/aravis/genicam_device.h"

#include <arv.h>

#include <algorithm>
#include <cmath>
#include <limits>
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

// The GigE Vision bootstrap register of how long a camera keeps control
// for a controller it no longer hears from.
constexpr guint32 kHeartbeatTimeout = 0x0938;

}  // namespace

kcGenicamDevice::kcGenicamDevice(const std::string& deviceId, const std::function<void(const std::string&)>& waiting) {
  const auto opening = std::chrono::steady_clock::now();
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
    takeControl(shown, opening, waiting);
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

void kcGenicamDevice::takeControl(const std::string& shown, std::chrono::steady_clock::time_point opening,
                                  const std::function<void(const std::string&)>& waiting) {
  ArvDevice* device = arv_camera_get_device(camera_);
  if (!ARV_IS_GV_DEVICE(device) || arv_gv_device_is_controller(ARV_GV_DEVICE(device))) return;
  guint32 heartbeatMs = 3000;  // the standard's default, when the camera does not say
  guint32 declared = 0;
  GError* error = nullptr;
  if (arv_device_read_register(device, kHeartbeatTimeout, &declared, &error) && declared > 0) heartbeatMs = declared;
  if (error) g_error_free(error);
  const auto deadline = opening + std::chrono::milliseconds(heartbeatMs);
  const std::string seconds = std::to_string(heartbeatMs / 1000) + "." + std::to_string(heartbeatMs / 100 % 10);
  if (waiting)
    waiting(shown + " is controlled by another program, or by one that ended without letting go of it; asking again "
            "until its heartbeat time-out of " + seconds + " s has run out");
  // The camera hands its control channel over only when asked after the
  // holder's time-out has run out, so it is asked again until then; each
  // refusal takes the control protocol's own time-out.
  do {
    if (arv_gv_device_take_control(ARV_GV_DEVICE(device), nullptr)) return;
  } while (std::chrono::steady_clock::now() < deadline);
  throw kcIOError(shown + " is in use: another program controls it (a program that ended without letting go "
                  "holds it for at most its heartbeat time-out of " + seconds + " s)");
}

// Runs on the heartbeat's thread.
void kcGenicamDevice::onControlLost(void*, void* self) { static_cast<kcGenicamDevice*>(self)->gone_ = true; }

void kcGenicamDevice::checkPresent() const {
  if (gone_) throw kcIOError("camera " + name_ + " no longer answers");
}

bool kcGenicamDevice::regainControl() {
  ArvDevice* device = arv_camera_get_device(camera_);
  if (!ARV_IS_GV_DEVICE(device)) return false;
  // Written even when Aravis still counts itself the controller: after a
  // stall the camera may have let go without the heartbeat having noticed.
  if (!arv_gv_device_take_control(ARV_GV_DEVICE(device), nullptr)) return false;
  gone_ = false;
  return true;
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

bool kcGenicamDevice::isEnumeration(const char* feature) {
  checkPresent();
  ArvGcNode* node = arv_device_get_feature(arv_camera_get_device(camera_), feature);
  return node && ARV_IS_GC_ENUMERATION(node);
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

double kcGenicamDevice::floatIncrement(const char* feature) {
  checkPresent();
  GError* error = nullptr;
  const double step = arv_camera_get_float_increment(camera_, feature, &error);
  // A feature without a step of its own is an error to Aravis.
  if (error && !meansGone(error)) {
    g_error_free(error);
    return 0.0;
  }
  check(error, feature);
  // Nor is the smallest double a step: Aravis's answer for a converted one.
  return std::isfinite(step) && step > std::numeric_limits<double>::min() ? step : 0.0;
}

std::int64_t kcGenicamDevice::integerIncrement(const char* feature) {
  return access(*this, feature, [&](GError** e) { return arv_camera_get_integer_increment(camera_, feature, e); });
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

void kcGenicamDevice::setRegion(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
  const std::string region = "region " + std::to_string(width) + " x " + std::to_string(height) + " at (" +
                             std::to_string(x) + ", " + std::to_string(y) + ")";
  // Aravis moves the offsets to 0 first, so any region within the sensor
  // can follow any other.
  accessVoid(*this, region.c_str(), [&](GError** e) {
    arv_camera_set_region(camera_, static_cast<gint>(x), static_cast<gint>(y), static_cast<gint>(width),
                          static_cast<gint>(height), e);
  });
}
