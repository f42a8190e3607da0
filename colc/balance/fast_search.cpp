#include "colc/balance/internal/fast_search.h"

#include <array>

namespace {

using Axis = std::array<double, 3>;  // the candidates c - step, c, c + step

// The nine candidates of a round and their errors, by gain and offset index.
struct Grid {
  Axis gains;
  Axis offsets;
  double errors[3][3];
};

// The index of value among the candidates of axis, or -1.
int indexOf(const Axis& axis, double value) {
  for (int i = 0; i < 3; ++i)
    if (axis[i] == value) return i;
  return -1;
}

// The step no longer changes the coordinate; by monotone rounding, no
// smaller step can either.
bool isCollapsed(const Axis& axis) { return axis[0] == axis[1] && axis[2] == axis[1]; }

// Evaluates the nine points, taking the errors of points that the previous grid holds from it.
void evaluateGrid(const kcMappingEvaluation& evaluate, const Grid* previous, Grid& grid) {
  int previousGain[3] = {-1, -1, -1};
  int previousOffset[3] = {-1, -1, -1};
  if (previous != nullptr)
    for (int i = 0; i < 3; ++i) {
      previousGain[i] = indexOf(previous->gains, grid.gains[i]);
      previousOffset[i] = indexOf(previous->offsets, grid.offsets[i]);
    }
  for (int g = 0; g < 3; ++g)
    for (int o = 0; o < 3; ++o)
      grid.errors[g][o] = previousGain[g] >= 0 && previousOffset[o] >= 0
                              ? previous->errors[previousGain[g]][previousOffset[o]]
                              : evaluate(grid.gains[g], grid.offsets[o]);
}

bool outsideLimits(double gainStep, double offsetStep) {
  return gainStep >= kGainStepLimit || offsetStep >= kOffsetStepLimit;
}

}  // namespace

kcGainOffsetSearch kfSearchGainOffsetFast(const kcMappingEvaluation& evaluate, double gain, double offset) {
  kcGainOffsetSearch search;
  double gainStep = kGainStepStart;
  double offsetStep = kOffsetStepStart;
  double error = 0.0;
  Grid grids[2];  // this round's and the previous round's, alternating
  const Grid* previous = nullptr;
  while (outsideLimits(gainStep, offsetStep)) {
    Grid& grid = grids[search.rounds % 2];
    ++search.rounds;
    grid.gains = {gain - gainStep, gain, gain + gainStep};
    grid.offsets = {offset - offsetStep, offset, offset + offsetStep};
    evaluateGrid(evaluate, previous, grid);
    previous = &grid;

    // Visit order: gain index major, offset index minor; strictly less wins.
    int bestGain = 1, bestOffset = 1;
    for (int g = 0; g < 3; ++g)
      for (int o = 0; o < 3; ++o)
        if (grid.errors[g][o] < grid.errors[bestGain][bestOffset]) bestGain = g, bestOffset = o;
    error = grid.errors[bestGain][bestOffset];

    if (bestGain != 1 || bestOffset != 1) {
      if (grid.gains[bestGain] != gain) gainStep *= 2.0;
      if (grid.offsets[bestOffset] != offset) offsetStep *= 2.0;
      gain = grid.gains[bestGain];
      offset = grid.offsets[bestOffset];
      continue;
    }

    int runnerUpGain = 0, runnerUpOffset = 0;
    for (int g = 0; g < 3; ++g)
      for (int o = 0; o < 3; ++o)
        if ((g != 1 || o != 1) && grid.errors[g][o] < grid.errors[runnerUpGain][runnerUpOffset])
          runnerUpGain = g, runnerUpOffset = o;
    // Crossed, as in the literal search: a runner-up off the centre's gain narrows the offset step.
    const bool halveOffset = grid.gains[runnerUpGain] != gain;
    const bool halveGain = grid.offsets[runnerUpOffset] != offset;
    const double previousGainStep = gainStep;
    const double previousOffsetStep = offsetStep;
    if (halveOffset) offsetStep /= 2.0;
    if (halveGain) gainStep /= 2.0;
    if (gainStep == previousGainStep && offsetStep == previousOffsetStep) {
      search.stalled = true;
      break;
    }
    if ((!halveGain || isCollapsed(grid.gains)) && (!halveOffset || isCollapsed(grid.offsets))) {
      // Shortcut 2: the rest of the search only repeats this round's halving.
      while (outsideLimits(gainStep, offsetStep)) {
        ++search.rounds;
        const double gainStepBefore = gainStep;
        const double offsetStepBefore = offsetStep;
        if (halveOffset) offsetStep /= 2.0;
        if (halveGain) gainStep /= 2.0;
        if (gainStep == gainStepBefore && offsetStep == offsetStepBefore) {
          search.stalled = true;
          break;
        }
      }
      break;
    }
  }
  search.gain = gain;
  search.offset = offset;
  search.rmsError = error;
  search.gainStep = gainStep;
  search.offsetStep = offsetStep;
  return search;
}
