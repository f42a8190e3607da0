// Our own pose finding, beside the defined one: the calibration image found
// in the camera's view at any quarter turn, scales of 0.4 to 2.5 and a slant
// (colc/host/target_finder.h), on the same reference grid as
// kfFindCalibrationPose's, the view sampled through the perspective pose.
// The quick search, still photographs and placement use it.
#pragma once

#include <string>

#include "colc/host/target_finder.h"
#include "colc/records/errors.h"
#include "colc/tool/pose.h"

// The calibration image is not in view, or not well enough to calibrate
// on: the finding says why and where the best candidate lay. Its message is
// one line naming the cause (kfTargetFindingText).
class kcTargetNotFound : public kcColorCalibrationDefs::BadImages {
 public:
  explicit kcTargetNotFound(const kcTargetMatch& match, const kcTargetSearchParams& search);
  const kcTargetMatch& match() const { return match_; }
  [[noreturn]] void suicideAndRethrow() override;

 private:
  kcTargetMatch match_;
};

// Finds calibrationImage in acquired; the pose's perspective is set.
// Throws kcTargetNotFound when the finder does not find it, and BadImages
// for a calibration image smaller than 7 x 7 pels or too flat to be found.
kcCalibrationPose kfFindTargetPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                              const kcTargetSearchParams& search = {});

// One line for the user: what was found, or why not and what to do.
std::string kfTargetFindingText(const kcTargetMatch& match, const kcTargetSearchParams& search);

// Whether a found pose scores low enough that the user should look at it.
inline bool kfTargetMatchIsDoubtful(const kcTargetMatch& match) {
  return match.found() && match.score < kTargetScoreWarn;
}
