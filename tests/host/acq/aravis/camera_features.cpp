#include "camera_features.h"

#include <arv.h>

#include <bit>
#include <iomanip>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "fake_gv_camera.h"

namespace {

// The names of the nodes that hold a value, in the description's order.
std::vector<std::string> valueNodes(const std::string& xml) {
  static const std::regex node(
      R"re(<(Integer|Float|Enumeration|Boolean|StringReg|IntReg|MaskedIntReg|FloatReg|IntSwissKnife|SwissKnife|)re"
      R"re(Converter|IntConverter)\s+Name="([^"]+)")re");
  std::vector<std::string> names;
  for (auto m = std::sregex_iterator(xml.begin(), xml.end(), node); m != std::sregex_iterator(); ++m)
    names.push_back((*m)[2]);
  return names;
}

std::string valueOf(ArvDevice* device, const std::string& name) {
  ArvGcNode* node = arv_device_get_feature(device, name.c_str());
  if (!node || !ARV_IS_GC_FEATURE_NODE(node)) return "(no such node)";
  GError* error = nullptr;
  const char* text = arv_gc_feature_node_get_value_as_string(ARV_GC_FEATURE_NODE(node), &error);
  if (error) {
    const std::string refused = std::string("(unreadable: ") + error->message + ")";
    g_error_free(error);
    return refused;
  }
  return text ? text : "";
}

// As many digits as tell the float apart from every other.
std::string floatText(float value) {
  std::ostringstream text;
  text << std::setprecision(9) << value;
  return text.str();
}

std::uint32_t registerOf(ArvDevice* device, std::uint32_t address) {
  guint32 value = 0;
  GError* error = nullptr;
  arv_device_read_register(device, address, &value, &error);
  if (error) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("register " + std::to_string(address) + ": " + message);
  }
  return value;
}

}  // namespace

std::map<std::string, std::string> readEveryFeature(const std::string& address) {
  GError* error = nullptr;
  ArvDevice* device = arv_open_device(address.c_str(), &error);
  if (!device) {
    const std::string message = error ? error->message : "no such camera";
    if (error) g_error_free(error);
    throw std::runtime_error("cannot open camera " + address + " to read its features: " + message);
  }
  size_t size = 0;
  const char* description = arv_device_get_genicam_xml(device, &size);
  if (!description) throw std::runtime_error("camera " + address + " gives no description");
  const std::string xml(description, size);
  std::map<std::string, std::string> features;
  for (const std::string& name : valueNodes(xml)) features[name] = valueOf(device, name);
  if (features.count("LUTSelector")) {
    const char* planes[] = {"Red", "Green", "Blue"};
    for (std::uint32_t k = 0; k < 3; ++k) {
      const std::string plane = std::string("[") + planes[k] + "]";
      features["LUTEnable" + plane] = std::to_string(registerOf(device, FakeGvCamera::kLutEnable + 4 * k));
      for (std::uint32_t i = 0; i < 256; ++i)
        features["LUTValue" + plane + "[" + std::to_string(i) + "]"] =
            std::to_string(registerOf(device, FakeGvCamera::kLutValue + 4 * (256 * k + i)));
    }
  }
  if (features.count("ColorTransformationValueSelector")) {
    const char* values[] = {"Gain00", "Gain01", "Gain02", "Gain10", "Gain11", "Gain12",
                            "Gain20", "Gain21", "Gain22", "Offset0", "Offset1", "Offset2"};
    for (std::uint32_t i = 0; i < 12; ++i) {
      const float value =
          std::bit_cast<float>(registerOf(device, FakeGvCamera::kColorTransformationValue + 4 * i));
      features[std::string("ColorTransformationValue[") + values[i] + "]"] = floatText(value);
    }
  }
  g_object_unref(device);
  return features;
}

std::string featureChanges(const std::map<std::string, std::string>& before,
                           const std::map<std::string, std::string>& after) {
  std::string changes;
  for (const auto& [name, value] : before) {
    const auto now = after.find(name);
    const std::string later = now == after.end() ? "(gone)" : now->second;
    if (later != value) changes += name + ": " + value + " -> " + later + "\n";
  }
  for (const auto& [name, value] : after)
    if (!before.count(name)) changes += name + ": (new) " + value + "\n";
  return changes;
}
