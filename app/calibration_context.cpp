#include "app/calibration_context.h"

#include <ctime>

#include "host/runtime/sha256.h"

namespace {

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// What every calibration records, beside the camera or the photograph.
kcCalibrationContext recorded(kcCalibrationContext context, const kc3PlanePelBuffer& reference,
                              const ColourError& error) {
  context.date = utcNow();
  context.referenceSha256 = pelsSha256(reference);
  context.colcVersion = COLC_VERSION;
  context.hasColourError = true;
  context.colourErrorMean = error.mean;
  context.colourErrorMax = error.max;
  return context;
}

}  // namespace

std::string pelsSha256(const kc3PlanePelBuffer& image) {
  kcSha256 digest;
  for (int k = 0; k < 3; ++k) {
    const kcPelBuffer<unsigned char>& plane = image.pelPlane(k);
    for (long y = plane.window().top; y < plane.window().bottom; ++y)
      digest.add(plane.pointToRow(y), static_cast<std::size_t>(image.width()));
  }
  return digest.hex();
}

kcCalibrationContext identityContext(const CameraIdentity& camera) {
  kcCalibrationContext context;
  context.cameraVendor = camera.vendor;
  context.cameraModel = camera.model;
  context.cameraSerial = camera.serial;
  context.cameraFirmware = camera.firmware;
  context.pelFormat = camera.pelFormat;
  context.regionX = camera.x;
  context.regionY = camera.y;
  context.regionWidth = camera.width;
  context.regionHeight = camera.height;
  return context;
}

kcCalibrationContext cameraContext(const CameraIdentity& camera, const kc3PlanePelBuffer& reference,
                                   const std::string& search, const ColourError& error) {
  kcCalibrationContext context = recorded(identityContext(camera), reference, error);
  context.search = search;
  return context;
}

kcCalibrationContext photoContext(const std::string& photo, const kc3PlanePelBuffer& reference,
                                  const ColourError& error) {
  kcCalibrationContext context;
  context.photo = photo;
  return recorded(context, reference, error);
}

nlohmann::ordered_json contextJson(const kcCalibrationContext& c) {
  const auto orNull = [](const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
  };
  nlohmann::ordered_json camera = nullptr;
  if (c.photo.empty())
    camera = {{"vendor", c.cameraVendor},
              {"model", c.cameraModel},
              {"serial", c.cameraSerial},
              {"firmware", c.cameraFirmware},
              {"pelFormat", c.pelFormat},
              {"region", {{"x", c.regionX}, {"y", c.regionY}, {"width", c.regionWidth}, {"height", c.regionHeight}}}};
  nlohmann::ordered_json error = nullptr;
  if (c.hasColourError) error = {{"mean", c.colourErrorMean}, {"max", c.colourErrorMax}};
  return {{"camera", camera},         {"photo", orNull(c.photo)},
          {"date", c.date},           {"referenceSha256", c.referenceSha256},
          {"colcVersion", c.colcVersion}, {"search", orNull(c.search)},
          {"colourError", error}};
}
