#include "host/acq/aravis/feature_map.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "host/acq/aravis/frame_decoder.h"
#include "host/acq/aravis/genicam_device.h"

double kcScaledFeature::read(kcGenicamDevice& device) const {
  const char* f = name.c_str();
  return integer ? static_cast<double>(device.getInteger(f)) : device.getFloat(f);
}

double kcScaledFeature::held(double value) const {
  double within = std::clamp(value, min, max);
  if (increment > 0.0) within = std::min(max, min + std::round((within - min) / increment) * increment);
  return integer ? static_cast<double>(std::llround(within)) : within;
}

void kcScaledFeature::write(kcGenicamDevice& device, double value) const {
  if (integer)
    device.setInteger(name.c_str(), std::llround(held(value)));
  else
    device.setFloat(name.c_str(), held(value));
}

double kcScaledFeature::toUnit(double value) const {
  return max > min ? std::clamp((value - min) / (max - min), 0.0, 1.0) : 0.0;
}

double kfMicroseconds(double seconds) { return std::round(seconds * 1e12) / 1e6; }

double kcScaledFeature::fromUnit(double unit) const { return min + unit * (max - min); }

namespace {

// The first of the candidate features that the camera has, with its bounds.
kcScaledFeature firstPresent(kcGenicamDevice& device, std::initializer_list<const char*> candidates) {
  for (const char* name : candidates) {
    if (!device.has(name)) continue;
    kcScaledFeature feature;
    feature.name = name;
    feature.integer = device.isInteger(name);
    if (feature.integer) {
      const auto [min, max] = device.integerBounds(name);
      feature.min = static_cast<double>(min);
      feature.max = static_cast<double>(max);
      feature.increment = static_cast<double>(device.integerIncrement(name));
    } else {
      std::tie(feature.min, feature.max) = device.floatBounds(name);
      feature.increment = device.floatIncrement(name);
    }
    return feature;
  }
  return {};
}

bool contains(const std::vector<std::string>& entries, const std::string& entry) {
  return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

// Tables of 256 entries of 0..255, addressed by LUTIndex.
kcLutFeatures lutFeatures(kcGenicamDevice& device) {
  kcLutFeatures lut;
  if (!device.has("LUTEnable") || !device.has("LUTIndex") || !device.has("LUTValue")) return lut;
  if (device.integerBounds("LUTIndex") != std::pair<std::int64_t, std::int64_t>(0, 255) ||
      device.integerBounds("LUTValue") != std::pair<std::int64_t, std::int64_t>(0, 255))
    return lut;
  if (device.has("LUTSelector")) {
    const std::vector<std::string> entries = device.entries("LUTSelector");
    if (contains(entries, "Red") && contains(entries, "Green") && contains(entries, "Blue"))
      lut.selectors = {"Red", "Green", "Blue"};
    else if (!entries.empty())
      lut.selectors = {contains(entries, "Luminance") ? std::string("Luminance") : entries.front()};
  }
  lut.present = true;
  return lut;
}

std::string bounds(const kcScaledFeature& f) {
  std::ostringstream os;
  os << f.name << " " << f.min << " .. " << f.max << (f.integer ? " (integer)" : "");
  return os.str();
}

}  // namespace

kcCameraFeatureMap kfMapCameraFeatures(kcGenicamDevice& device) {
  kcCameraFeatureMap map;
  map.exposure = firstPresent(device, {"ExposureTime", "ExposureTimeAbs"});
  map.gain = firstPresent(device, {"Gain", "GainRaw"});
  map.blackLevel = firstPresent(device, {"BlackLevel", "BlackLevelRaw"});
  map.lut = lutFeatures(device);
  map.softwareTrigger = device.has("TriggerMode") && device.has("TriggerSource") && device.has("TriggerSoftware") &&
                        contains(device.entries("TriggerSource"), "Software");
  if (device.has("PixelFormat")) {
    const std::vector<std::string> offered = device.entries("PixelFormat");
    for (const std::string& name : kfDecodablePixelFormats())
      if (contains(offered, name)) map.pixelFormats.push_back(name);
  }
  return map;
}

std::string kfDefaultPixelFormat(const kcCameraFeatureMap& map, const std::string& current) {
  return contains(map.pixelFormats, current) && current != "Mono8" ? current : map.pixelFormats.front();
}

std::vector<std::string> kfDescribeFeatureMap(const kcCameraFeatureMap& map) {
  std::vector<std::string> lines;
  lines.push_back("exposure: " + (map.exposure.present() ? bounds(map.exposure) + " microseconds"
                                                         : "no exposure time feature; the value is kept only"));
  lines.push_back("contrast: " + (map.gain.present() ? bounds(map.gain) : "no gain feature; the value is kept only"));
  lines.push_back("brightness: " + (map.blackLevel.present()
                                        ? bounds(map.blackLevel)
                                        : "no black level feature; the value is kept only and changes nothing"));
  std::string lut = "input table: ";
  if (!map.lut.present)
    lut += "applied to each image by colc";
  else if (map.lut.perPlane())
    lut += "LUTSelector Red, Green, Blue";
  else
    lut += "camera table " + (map.lut.selectors.empty() ? std::string("LUTValue") : "LUTSelector " + map.lut.selectors[0]) +
           " when the planes share a table, else by colc";
  lines.push_back(lut);
  lines.push_back(std::string("trigger: ") +
                  (map.softwareTrigger ? "TriggerMode On, TriggerSource Software, TriggerSoftware"
                                       : "no software trigger; manual triggering is refused"));
  std::string formats = "pel formats:";
  for (const std::string& f : map.pixelFormats) formats += " " + f;
  if (map.pixelFormats.empty()) formats += " none that colc decodes";
  lines.push_back(formats);
  return lines;
}
