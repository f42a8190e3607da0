#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string_view>

#include "host/acq/sim/sim_camera.h"

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

[[noreturn]] void refuse(std::string_view key, std::string_view value, const char* why) {
  throw kcBadArgument("simulated camera option '" + std::string(key) + "': '" + std::string(value) + "' " + why);
}

// The whole of value as a T, or kcBadArgument naming the key.
template <class T>
T parsed(std::string_view key, std::string_view value) {
  T result{};
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
  if (error != std::errc() || end != value.data() + value.size() || value.empty()) {
    refuse(key, value, std::is_integral_v<T> ? "is not a whole number" : "is not a number");
  }
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(result)) refuse(key, value, "is not finite");
  }
  return result;
}

using Setter = std::function<void(kcSimCameraConfig&, std::string_view key, std::string_view value)>;

template <class T, class Field>
Setter to(Field field) {
  return
      [field](kcSimCameraConfig& c, std::string_view key, std::string_view value) { field(c) = parsed<T>(key, value); };
}

// A switch: 1 on, 0 off.
Setter flag(bool kcSimCameraConfig::*field) {
  return [field](kcSimCameraConfig& c, std::string_view key, std::string_view value) {
    const int on = parsed<int>(key, value);
    if (on != 0 && on != 1) refuse(key, value, "is not 0 (off) or 1 (on)");
    c.*field = on == 1;
  };
}

const std::map<std::string_view, Setter>& setters() {
  static const std::map<std::string_view, Setter> table = {
      {"width", to<long>([](kcSimCameraConfig& c) -> long& { return c.width; })},
      {"height", to<long>([](kcSimCameraConfig& c) -> long& { return c.height; })},
      {"seed", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.seed; })},
      {"x", to<double>([](kcSimCameraConfig& c) -> std::optional<double>& { return c.pose.x; })},
      {"y", to<double>([](kcSimCameraConfig& c) -> std::optional<double>& { return c.pose.y; })},
      {"rotation", to<double>([](kcSimCameraConfig& c) -> double& { return c.pose.rotation; })},
      {"scale", to<double>([](kcSimCameraConfig& c) -> double& { return c.pose.scale; })},
      {"tilt", to<double>([](kcSimCameraConfig& c) -> double& { return c.pose.tilt; })},
      {"tilt-axis", to<double>([](kcSimCameraConfig& c) -> double& { return c.pose.tiltAxis; })},
      {"focal", to<double>([](kcSimCameraConfig& c) -> std::optional<double>& { return c.focal; })},
      {"distortion", to<double>([](kcSimCameraConfig& c) -> double& { return c.distortion; })},
      {"noise", to<double>([](kcSimCameraConfig& c) -> double& { return c.noise; })},
      {"crosstalk", to<double>([](kcSimCameraConfig& c) -> double& { return c.crossTalk; })},
      {"sensitivity", to<double>([](kcSimCameraConfig& c) -> double& { return c.sensitivity; })},
      {"blur", to<double>([](kcSimCameraConfig& c) -> double& { return c.blur; })},
      {"integrate", flag(&kcSimCameraConfig::integrate)},
      {"shading", to<double>([](kcSimCameraConfig& c) -> double& { return c.shading; })},
      {"fps", to<double>([](kcSimCameraConfig& c) -> std::optional<double>& { return c.readoutFps; })},
      {"sleep", flag(&kcSimCameraConfig::sleep)},
      {"exposure", to<double>([](kcSimCameraConfig& c) -> double& { return c.exposure; })},
      {"contrast", to<double>([](kcSimCameraConfig& c) -> double& { return c.contrast; })},
      {"brightness", to<double>([](kcSimCameraConfig& c) -> double& { return c.brightness; })},
      {"taps", to<int>([](kcSimCameraConfig& c) -> int& { return c.taps; })},
      {"fail-at", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.faults.failAt; })},
      {"unbound-at", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.faults.unboundAt; })},
      {"timeout-at", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.faults.timeoutAt; })},
      {"cancel-at", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.faults.cancelAt; })},
      {"write-fail-at", to<unsigned long>([](kcSimCameraConfig& c) -> unsigned long& { return c.faults.writeFailAt; })},
  };
  return table;
}

}  // namespace

kcSimCameraConfig kfParseSimCameraOptions(const std::string& options) {
  kcSimCameraConfig config;
  std::set<std::string_view> seen;
  std::string_view rest = options;
  while (!trimmed(rest).empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = trimmed(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    const std::size_t equals = item.find('=');
    const std::string_view key = trimmed(item.substr(0, equals));
    if (equals == std::string_view::npos) refuse(key, "", "has no value (key=value expected)");
    const auto setter = setters().find(key);
    if (setter == setters().end()) refuse(key, item.substr(equals + 1), "is not an option of the simulated camera");
    if (!seen.insert(setter->first).second) refuse(key, item.substr(equals + 1), "repeats the option");
    setter->second(config, key, trimmed(item.substr(equals + 1)));
  }
  return config;
}
