// Prints the per-channel results of a colour fit, as text or as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "colc/records/result.h"

// One line per channel: gain, offset, RMS error and the three proportions of active pels.
void printChannelsText(std::ostream& out, const kcColorCalibrationResultInternal& result);
// One JSON object with an array "channels", one object per channel in plane order.
void printChannelsJson(std::ostream& out, const kcColorCalibrationResultInternal& result);
// That array.
nlohmann::ordered_json channelsJson(const kcColorCalibrationResultInternal& result);
