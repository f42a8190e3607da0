#include "colc/literal/gain_offset_search_literal.h"

#include <memory>

#include "colc/literal/joint_table_literal.h"

namespace {

struct GridPoint {
  int gainIndex;
  int offsetIndex;
};

// The nine points of a round, in the order they are visited; index 1 is
// the centre on each axis.
constexpr GridPoint kVisitOrder[9] = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}};

bool isCentre(const GridPoint& p) { return p.gainIndex == 1 && p.offsetIndex == 1; }

}  // namespace

kcGainOffsetSearch kfSearchGainOffset(const kcMappingEvaluation& evaluate, double gain, double offset) {
  kcGainOffsetSearch search;
  double gainStep = kGainStepStart;
  double offsetStep = kOffsetStepStart;
  double error = 0.0;
  while (gainStep >= kGainStepLimit || offsetStep >= kOffsetStepLimit) {
    ++search.rounds;
    const double gains[3] = {gain - gainStep, gain, gain + gainStep};
    const double offsets[3] = {offset - offsetStep, offset, offset + offsetStep};
    double errors[3][3];
    for (const GridPoint& p : kVisitOrder)
      errors[p.gainIndex][p.offsetIndex] = evaluate(gains[p.gainIndex], offsets[p.offsetIndex]);
    const auto errorAt = [&](const GridPoint& p) { return errors[p.gainIndex][p.offsetIndex]; };

    // Strictly-less replacement: among equal errors the earlier point wins,
    // and the centre wins over any point that only equals it.
    GridPoint best{1, 1};
    for (const GridPoint& p : kVisitOrder)
      if (errorAt(p) < errorAt(best)) best = p;
    error = errorAt(best);

    const double previousGainStep = gainStep;
    const double previousOffsetStep = offsetStep;
    const bool moved = !isCentre(best);
    if (moved) {
      // A successful move widens the step of each coordinate that changed.
      if (gains[best.gainIndex] != gain) gainStep *= 2.0;
      if (offsets[best.offsetIndex] != offset) offsetStep *= 2.0;
      gain = gains[best.gainIndex];
      offset = offsets[best.offsetIndex];
    } else {
      GridPoint runnerUp = kVisitOrder[0];
      for (const GridPoint& p : kVisitOrder)
        if (!isCentre(p) && errorAt(p) < errorAt(runnerUp)) runnerUp = p;
      // Crossed: a runner-up along the gain axis narrows the offset step,
      // one along the offset axis the gain step, a diagonal one both.
      if (gains[runnerUp.gainIndex] != gain) offsetStep /= 2.0;
      if (offsets[runnerUp.offsetIndex] != offset) gainStep /= 2.0;
    }
    // Once a step no longer changes its coordinate (or has halved down to
    // 0.0) while the other is still at or above its limit, a round may move
    // nothing and change no step; every later round would repeat it, so the
    // search ends here with the current point and its error.
    if (!moved && gainStep == previousGainStep && offsetStep == previousOffsetStep) {
      search.stalled = true;
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

kcGainOffsetSearch kfRefineGainOffset(const kcJointTable& table, double& gain, double& offset, double& rmsError) {
  // One scratch table for the whole search, on the heap: 264 kB is too much
  // for the stacks of some callers' threads.
  const auto scratch = std::make_unique<kcJointTable>();
  const kcGainOffsetSearch search = kfSearchGainOffset(
      [&](double g, double o) { return kfEvaluateMapping(table, g, o, *scratch); }, gain, offset);
  gain = search.gain;
  offset = search.offset;
  rmsError = search.rmsError;
  return search;
}
