// What the 3 x 3 pattern search for the gain and offset of least error
// works with: its evaluation, its step limits and its end state. The
// error is piecewise constant in (gain, offset), so the search compares
// values only; it takes the evaluation as a parameter, so that any
// evaluation equal to the literal joint-table one can be used.
#pragma once

#include <functional>

#include "colc/balance/internal/joint_table.h"

// The error of the transfer (gain, offset).
using kcMappingEvaluation = std::function<double(double gain, double offset)>;

constexpr double kGainStepStart = 0.5;
constexpr double kOffsetStepStart = 128.0;
constexpr double kGainStepLimit = 0.0001;
constexpr double kOffsetStepLimit = 0.01;

// Where a search ended.
struct kcGainOffsetSearch {
  double gain = 0.0;
  double offset = 0.0;
  double rmsError = 0.0;
  double gainStep = 0.0;
  double offsetStep = 0.0;
  long rounds = 0;
  // Ended by a round that neither moved the point nor changed a step while
  // a step was still at or above its limit (no later round could differ).
  bool stalled = false;
};
