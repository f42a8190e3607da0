#include "channel_report.h"

#include <nlohmann/json.hpp>

#include "app/presentation.h"

void printChannelsText(std::ostream& out, const kcColorCalibrationResultInternal& result) {
  out << formatted("%-7s %11s %11s %11s %11s %11s %11s\n", "channel", "gain", "offset", "rmsError", "activeSrc",
                   "activeDst", "active");
  const auto channels = result.results();
  for (std::size_t k = 0; k < channels.size(); ++k) {
    const auto& c = channels[k];
    out << formatted("%-7s %11.6f %11.6f %11s %11.6f %11.6f %11.6f\n", planeName(k).c_str(), c.gain(), c.offset(),
                     rmsErrorText(c.rmsError(), 6).c_str(), c.proportionActiveSrcPels(), c.proportionActiveDstPels(),
                     c.proportionActivePels());
  }
}

void printChannelsJson(std::ostream& out, const kcColorCalibrationResultInternal& result) {
  out << nlohmann::ordered_json{{"channels", channelsJson(result)}}.dump(2) << "\n";
}

nlohmann::ordered_json channelsJson(const kcColorCalibrationResultInternal& result) {
  nlohmann::ordered_json channels = nlohmann::ordered_json::array();
  for (const auto& c : result.results()) {
    nlohmann::ordered_json channel = channelJson(c);
    channel["proportionActiveSrcPels"] = c.proportionActiveSrcPels();
    channel["proportionActiveDstPels"] = c.proportionActiveDstPels();
    channel["proportionActivePels"] = c.proportionActivePels();
    channels.push_back(channel);
  }
  return channels;
}
