// The sweep's summary per cross-talk value and its verdict on the goals.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "pose_measurement.h"

struct SweepSummary {
  double crossTalk = 0.0;
  int poses = 0;
  int failed = 0;
  // The largest after / before of each plane over the other poses.
  std::array<double, 3> worstRatio{};
  int atExposureEdge = 0;
  // Over the poses: the mean and the largest of each pose's mean and
  // maximum CIEDE2000.
  double meanOfMeanDeltaE = 0.0;
  double maxOfMeanDeltaE = 0.0;
  double meanOfMaxDeltaE = 0.0;
  double maxOfMaxDeltaE = 0.0;
  // The same through the colour correction colc calibrate adopts.
  struct {
    double meanOfMean = 0.0, maxOfMean = 0.0, meanOfMax = 0.0, maxOfMax = 0.0;
  } corrected;
  int posesWithClippedPatches = 0;
};

// after / before per plane.
std::array<double, 3> afterOverBefore(const PoseMeasurement& m);

// One summary per cross-talk value, in the order the values first appear.
std::vector<SweepSummary> summarize(const std::vector<PoseMeasurement>& measurements);

struct GoalVerdict {
  std::string goal;
  // The poses that miss it (a failed calibration misses every goal, a
  // calibrated view without the chart the first).
  int missed = 0;
};

// Every pose: after <= 0.15 x before on every plane, exposure inside its
// range. Without cross-talk: mean CIEDE2000 <= 0.5 and maximum <= 1.5 at
// every pose, no patch clipped.
std::vector<GoalVerdict> judgeGoals(const std::vector<PoseMeasurement>& measurements);
