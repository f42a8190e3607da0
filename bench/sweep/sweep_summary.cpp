#include "sweep_summary.h"

#include <algorithm>
#include <functional>

namespace {

constexpr double kAfterOverBefore = 0.15;
constexpr double kMeanDeltaE = 0.5;
constexpr double kMaxDeltaE = 1.5;
// What a tilt may add to the corrected mean CIEDE2000.
constexpr double kTiltCost = 0.1;

void add(SweepSummary& s, const PoseMeasurement& m) {
  ++s.poses;
  if (!m.failure.empty()) {
    ++s.failed;
    return;
  }
  const int measured = s.poses - s.failed;
  const std::array<double, 3> ratio = afterOverBefore(m);
  for (std::size_t k = 0; k < 3; ++k) s.worstRatio[k] = std::max(s.worstRatio[k], ratio[k]);
  s.atExposureEdge += m.atExposureEdge;
  // Running means over the measured poses.
  s.meanOfMeanDeltaE += (m.meanDeltaE - s.meanOfMeanDeltaE) / measured;
  s.meanOfMaxDeltaE += (m.maxDeltaE - s.meanOfMaxDeltaE) / measured;
  s.maxOfMeanDeltaE = std::max(s.maxOfMeanDeltaE, m.meanDeltaE);
  s.maxOfMaxDeltaE = std::max(s.maxOfMaxDeltaE, m.maxDeltaE);
  s.corrected.meanOfMean += (m.correctedMeanDeltaE - s.corrected.meanOfMean) / measured;
  s.corrected.meanOfMax += (m.correctedMaxDeltaE - s.corrected.meanOfMax) / measured;
  s.corrected.maxOfMean = std::max(s.corrected.maxOfMean, m.correctedMeanDeltaE);
  s.corrected.maxOfMax = std::max(s.corrected.maxOfMax, m.correctedMaxDeltaE);
  s.posesWithClippedPatches += m.clippedPatches > 0;
}

}  // namespace

std::array<double, 3> afterOverBefore(const PoseMeasurement& m) {
  return {m.after[0] / m.before[0], m.after[1] / m.before[1], m.after[2] / m.before[2]};
}

std::vector<SweepSummary> summarize(const std::vector<PoseMeasurement>& measurements) {
  std::vector<SweepSummary> summaries;
  for (const PoseMeasurement& m : measurements) {
    auto s = std::find_if(summaries.begin(), summaries.end(),
                          [&](const SweepSummary& x) { return x.crossTalk == m.sweepCase.crossTalk; });
    if (s == summaries.end()) {
      summaries.push_back({});
      summaries.back().crossTalk = m.sweepCase.crossTalk;
      s = summaries.end() - 1;
    }
    add(*s, m);
  }
  return summaries;
}

std::vector<GoalVerdict> judgeGoals(const std::vector<PoseMeasurement>& measurements) {
  struct Goal {
    const char* text;
    bool withoutCrossTalkOnly;
    std::function<bool(const PoseMeasurement&)> met;
  };
  const Goal goals[] = {
      {"after <= 0.15 x before on every plane", false,
       [](const PoseMeasurement& m) {
         return std::ranges::all_of(afterOverBefore(m), [](double r) { return r <= kAfterOverBefore; });
       }},
      {"exposure inside its range, not at an edge", false, [](const PoseMeasurement& m) { return !m.atExposureEdge; }},
      {"without cross-talk: mean CIEDE2000 <= 0.5", true,
       [](const PoseMeasurement& m) { return m.meanDeltaE <= kMeanDeltaE; }},
      {"without cross-talk: max CIEDE2000 <= 1.5", true,
       [](const PoseMeasurement& m) { return m.maxDeltaE <= kMaxDeltaE; }},
      {"without cross-talk: no patch clipped", true, [](const PoseMeasurement& m) { return m.clippedPatches == 0; }},
      {"tilted: corrected mean CIEDE2000 within 0.1 of the pose square to the camera", false,
       [](const PoseMeasurement& m) {
         return !m.untiltedCorrectedMeanDeltaE || m.correctedMeanDeltaE <= *m.untiltedCorrectedMeanDeltaE + kTiltCost;
       }},
  };
  std::vector<GoalVerdict> verdicts;
  for (const Goal& goal : goals) {
    GoalVerdict verdict{goal.text, 0};
    for (const PoseMeasurement& m : measurements) {
      if (goal.withoutCrossTalkOnly && m.sweepCase.crossTalk != 0.0) continue;
      verdict.missed += !m.failure.empty() || !goal.met(m);
    }
    verdicts.push_back(verdict);
  }
  return verdicts;
}
