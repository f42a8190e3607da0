// Host target finding: the calibration target located in a view at any of
// the four quarter turns, over a wide range of scales, and at a slant: the
// pose is a homography refined by correlation, with a figure of how well it
// explains the view. When the target is not found, the finding says why and
// where the best candidate lay, so that a user can be shown what went wrong.
#pragma once

#include "colc/host/imaging.h"
#include "colc/host/perspective.h"

struct kcTargetSearchParams {
  // View pels per reference pel, at the target's centre.
  double minScale = 0.4;
  double maxScale = 2.5;
  // Also the reference turned by 90, 180 and 270 degrees (a chart
  // photographed upright against a landscape reference).
  bool quarterTurns = true;
  // The steepest slant of the target's plane against the view's accepted,
  // in degrees about any axis in the target's plane, as seen at the
  // target's centre: a target tilted by 30 degrees off to the side of a
  // wide view is seen at up to about 40, and is still found.
  double maxTiltDegrees = 45.0;
};

enum class keTargetFinding {
  eFound,
  eNotFound,         // nothing in view resembles the target
  eTooSmall,         // found below the search's least scale
  eTooLarge,         // found above its greatest scale
  eTooTilted,        // found at a slant beyond the limit
  ePartlyOutOfView,  // found, but part of the target lies outside the view
  eTooDark,          // the target's part of the view is too dark to match
  eClipped,          // the target's part of the view is too clipped to match
  ePoorMatch,        // a pose was found, but it explains the view poorly
};

struct kcTargetMatch {
  keTargetFinding finding = keTargetFinding::eNotFound;
  // From the reference's image coordinates to the view's (pel (x, y)
  // covers [x, x + 1) x [y, y + 1) in both); the best candidate's when the
  // target was not found, unset (the identity) for eNotFound.
  kcHomography pose;
  // How well the pose explains the view, from -1 (not at all) to 1: the
  // normalised correlation of the view sampled through the pose with the
  // reference, on structure that a camera's colour response does not change.
  double score = 0.0;
  // At the target's centre: view pels per reference pel, the turn of the
  // reference's x axis in the view (degrees, counter-clockwise as displayed,
  // quarter turns included) and the slant of the target's plane (degrees).
  double scale = 0.0;
  double rotationDegrees = 0.0;
  double tiltDegrees = 0.0;
  // The share of the target's area that lies inside the view.
  double inView = 0.0;

  bool found() const { return finding == keTargetFinding::eFound; }
};

// Scores below this are refused as ePoorMatch; scores below kTargetScoreWarn
// are found but deserve a warning to the user.
constexpr double kTargetScoreRefuse = 0.5;
constexpr double kTargetScoreWarn = 0.7;

// Locates reference (a grey image of the target) in view (a grey image).
// Throws kcBadPointer for unbound images and kcBadArgument for a reference
// too small or too flat to be found; a target not found is a finding, not
// an exception.
kcTargetMatch kfFindTarget(const kcPelBuffer_const<unsigned char>& view,
                           const kcPelBuffer_const<unsigned char>& reference, const kcTargetSearchParams& params);
