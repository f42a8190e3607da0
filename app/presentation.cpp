#include "app/presentation.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "app/correction_stage.h"

std::string formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measuring;
  va_copy(measuring, args);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  return text.data();
}

std::string fixed(double value, int decimals) { return formatted("%.*f", decimals, value); }

std::string planeName(std::size_t plane) {
  static const char* const kPlaneNames[3] = {"red", "green", "blue"};
  return plane < 3 ? kPlaneNames[plane] : "plane " + std::to_string(plane);
}

std::string rmsErrorText(double rmsError, int decimals) {
  return isFitted(rmsError) ? fixed(rmsError, decimals) : "not fitted";
}

namespace {

nlohmann::ordered_json channelJson(double gain, double offset, double rmsError) {
  return {{"gain", gain},
          {"offset", offset},
          {"rmsError", isFitted(rmsError) ? nlohmann::ordered_json(rmsError) : nlohmann::ordered_json(nullptr)}};
}

}  // namespace

nlohmann::ordered_json channelJson(const kcColorCalibrationChannelResult& channel) {
  return channelJson(channel.gain(), channel.offset(), channel.rmsError());
}

nlohmann::ordered_json channelJson(const kcColorCalibrationChannelResultInternal& channel) {
  return channelJson(channel.gain(), channel.offset(), channel.rmsError());
}

std::string sizeText(const kc3PlanePelBuffer& image) {
  return std::to_string(image.width()) + " x " + std::to_string(image.height()) + " pels";
}

nlohmann::ordered_json colorCorrectionJson(const std::optional<kcColorCorrection>& correction) {
  if (!correction) return nullptr;
  return {{"domain", domainName(correction->domain())}, {"coefficients", correction->coefficients()}};
}
