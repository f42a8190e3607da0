// What a calibration achieved, for people (a few aligned lines) and for
// programs (one JSON object).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "app/calibration_run.h"

// Names of what was calibrated against what, for the text.
struct CalibrationSetup {
  std::string camera;     // "simulated camera (1280 x 1024 pels)"
  std::string reference;  // "the built-in target" or the file's name
};

// The settings at the start and calibrated, the input table, per channel
// gain, offset and RMS error, the acquisitions and time, the mean
// absolute difference to the reference before and after, and the verdict
// with its reasons.
void printSummaryText(std::ostream& out, const CalibrationSetup& setup, const CalibrationRun& run);

// The time a calibration took: "0.4 s computing", and for the simulated
// camera " (and 2.1 s simulating the camera), 7.3 s camera time (exposure
// plus read-out)".
std::string timeText(const CalibrationRun& run);

// Keys: exposure, contrast, brightness, positive8BitLut, search ("quick"
// or "full"), acquisitions, seconds (all of the search's time),
// computingSeconds, cameraSeconds and simulationSeconds (null for a camera
// that keeps no time), channels (three objects: gain, offset, rmsError), before and
// after (three mean absolute differences each), and verdict: helped,
// reasons (sentences, empty when it helped), clipped (three shares of the
// calibrated view's samples at 0 or 255, before the pel maps) and
// exposureEdge ("none", "bottom" or "top" of the search's range).
// With a deployment (colc calibrate --deploy), that too, as "deployment".
void printSummaryJson(std::ostream& out, const CalibrationRun& run,
                      const nlohmann::ordered_json& deployment = nullptr);

// The colour error rows: mean and max CIEDE2000 at the start, through the
// pel maps and, when one was adopted, through the colour correction; and
// the same as JSON.
void printColourErrorText(std::ostream& out, const ColourStage& colour);
nlohmann::ordered_json colourErrorJson(const ColourStage& colour);
// Where the finder found the target and how well its pose explains the
// view, as a line and as JSON (null without a finding).
void printTargetText(std::ostream& out, const kcTargetMatch& target);
nlohmann::ordered_json targetJson(const std::optional<kcTargetMatch>& target);
