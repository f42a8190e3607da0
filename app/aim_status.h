// What colc aim says of one image: where the target is and whether a
// calibration would start well from it.
#pragma once

#include <optional>
#include <string>

#include "colc/host/imaging.h"
#include "colc/host/target_finder.h"

struct AimStatus {
  kcTargetMatch match;
  // Of the target's samples, the share at full scale in some plane, and
  // the brightest level reached (0 to 1): the exposure's fitness.
  double clipped = 0.0;
  double brightest = 0.0;
  bool ready = false;
  std::string line;  // one line, without its end
};

// The exposure is too high when more of the target than this is clipped,
// too low when its brightest samples stay below this share of full scale:
// the search starts from the view, and the finder then sees too little.
constexpr double kAimMostClipped = 0.02;
constexpr double kAimLeastBrightest = 0.25;

AimStatus aimStatus(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference);
