#include "channel_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

constexpr const char* kChannelNames[] = {"red", "green", "blue"};

}  // namespace

void printChannelsText(std::ostream& out, const kcColorCalibrationResultInternal& result) {
  char line[512];
  std::snprintf(line, sizeof line, "%-7s %11s %11s %11s %11s %11s %11s\n", "channel", "gain", "offset", "rmsError",
                "activeSrc", "activeDst", "active");
  out << line;
  const auto channels = result.results();
  for (std::size_t k = 0; k < channels.size(); ++k) {
    const auto& c = channels[k];
    std::snprintf(line, sizeof line, "%-7s %11.6f %11.6f %11.6f %11.6f %11.6f %11.6f\n", kChannelNames[k % 3], c.gain(),
                  c.offset(), c.rmsError(), c.proportionActiveSrcPels(), c.proportionActiveDstPels(),
                  c.proportionActivePels());
    out << line;
  }
}

void printChannelsJson(std::ostream& out, const kcColorCalibrationResultInternal& result) {
  nlohmann::ordered_json channels = nlohmann::ordered_json::array();
  for (const auto& c : result.results())
    channels.push_back({{"gain", c.gain()},
                        {"offset", c.offset()},
                        {"rmsError", c.rmsError()},
                        {"proportionActiveSrcPels", c.proportionActiveSrcPels()},
                        {"proportionActiveDstPels", c.proportionActiveDstPels()},
                        {"proportionActivePels", c.proportionActivePels()}});
  out << nlohmann::ordered_json{{"channels", channels}}.dump(2) << "\n";
}
