// How the command-line tool writes numbers, plane names and channel results,
// in text and in JSON. Every command goes through here, so that a channel
// reads the same in calibrate's summary, show, fit and the report.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "colc/host/imaging.h"
#include "colc/records/channel_result.h"
#include "colc/records/color_correction.h"

// printf into a string.
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

// value with the given number of decimals.
std::string fixed(double value, int decimals);

// "red", "green", "blue" for planes 0 to 2; "plane k" beyond.
std::string planeName(std::size_t plane);

// "832 x 560 pels".
std::string sizeText(const kc3PlanePelBuffer& image);

// A channel of a result made without pel mapping carries a negative RMS
// error: it was not fitted, and its gain and offset are the identity.
inline bool isFitted(double rmsError) { return rmsError >= 0.0; }

// The RMS error with the given decimals, or "not fitted".
std::string rmsErrorText(double rmsError, int decimals);

// A channel in JSON: gain, offset and rmsError, which is null when the
// channel was not fitted.
nlohmann::ordered_json channelJson(const kcColorCalibrationChannelResult& channel);
nlohmann::ordered_json channelJson(const kcColorCalibrationChannelResultInternal& channel);

// {"domain": "encoded" or "linear", "coefficients": three rows of four}, or null.
nlohmann::ordered_json colorCorrectionJson(const std::optional<kcColorCorrection>& correction);
