// Whether a calibration helped: colc never reports a calibration that left
// the camera no closer to the reference, or that clipped much of the
// target, as a success.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "colc/host/imaging.h"
#include "colc/records/params.h"

// both: the range is a single exposure.
enum class ExposureEdge { none, bottom, top, both };
// "none", "bottom", "top" or "both".
const char* exposureEdgeName(ExposureEdge edge);

// What the verdict is drawn from, all measured on the reference's grid.
struct VerdictEvidence {
  // The mean absolute difference per plane to the reference: at the start
  // settings, and at the calibrated settings through the pel maps.
  std::array<double, 3> before{};
  std::array<double, 3> after{};
  // Per plane, the share (0 to 1) of the view's samples at 0 or 255 where
  // the reference is neither, at the calibrated settings before the pel maps.
  std::array<double, 3> clipped{};
  double exposure = 0.0;  // the calibrated exposure, seconds
  ExposureEdge edge = ExposureEdge::none;
};

struct CalibrationVerdict {
  bool helped = true;
  // One sentence per reason, with its planes and numbers; empty when it helped.
  std::vector<std::string> reasons;
};

CalibrationVerdict judgeCalibration(const VerdictEvidence& evidence);

// Which end of the search's exposure range the exposure is at (or
// beyond); none when the search leaves the exposure alone.
ExposureEdge exposureEdgeOf(const kcColorCalibrationParams& params, double exposure);

// Per plane, the share of the view's samples at 0 or 255 among those where
// the reference, on the same grid, is neither: a reference that is black or
// white itself may clip there.
std::array<double, 3> clippedShares(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference);
