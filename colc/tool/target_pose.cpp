#include "colc/tool/target_pose.h"

#include <cmath>
#include <cstdio>

#include "colc/host/exceptions.h"

namespace {

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Rounded down, so that a target just out of view is not said to be 100 % in it.
std::string percent(double share) { return fixed(std::floor(1000.0 * share) / 10.0, 1) + " %"; }

// The grid's sample (i, j) in the calibration image's image coordinates:
// the affine map behind the reference sampling.
kcHomography gridToReference(const kcAffineSamplingParams& sampling) {
  const kcAffineRectangle& rect = sampling.affineRectangle();
  const double nx = static_cast<double>(sampling.xNumSamples()), ny = static_cast<double>(sampling.yNumSamples());
  const kcVector<2> xStep = rect.xSide() * (1.0 / nx), yStep = rect.ySide() * (1.0 / ny);
  const kcVector<2> first = rect.origin() + xStep * 0.5 + yStep * 0.5;
  return kcHomography(kcXform<2>(kcMatrix<2>(xStep.x(), yStep.x(), xStep.y(), yStep.y()), first));
}

}  // namespace

kcTargetNotFound::kcTargetNotFound(const kcTargetMatch& match, const kcTargetSearchParams& search)
    : BadImages(kfTargetFindingText(match, search)), match_(match) {}

void kcTargetNotFound::suicideAndRethrow() {
  const kcTargetNotFound local(*this);
  delete this;
  throw local;
}

std::string kfTargetFindingText(const kcTargetMatch& match, const kcTargetSearchParams& search) {
  const std::string scale = fixed(match.scale, 2) + " x the reference's pel size";
  switch (match.finding) {
    case keTargetFinding::eFound:
      return "found at " + scale + ", turned " + fixed(match.rotationDegrees, 1) + " degrees, tilted " +
             fixed(match.tiltDegrees, 0) + " degrees (pose score " + fixed(match.score, 2) + ")";
    case keTargetFinding::eNotFound:
      return "nothing in the camera's view resembles the reference image";
    case keTargetFinding::eTooSmall:
      return "the target is too small in the view: it appears at " + scale + ", below " +
             fixed(search.minScale, 2) + "; print it about " + fixed(search.minScale / match.scale * 1.25, 1) +
             " times as large or bring the camera closer";
    case keTargetFinding::eTooLarge:
      return "the target is too large in the view: it appears at " + scale + ", above " +
             fixed(search.maxScale, 2) + "; print it about " + fixed(match.scale / search.maxScale * 1.25, 1) +
             " times smaller or move the camera away";
    case keTargetFinding::eTooTilted:
      return "the target is tilted " + fixed(match.tiltDegrees, 0) + " degrees against the camera, beyond the " +
             fixed(search.maxTiltDegrees, 0) + " accepted; turn it to face the camera";
    case keTargetFinding::ePartlyOutOfView:
      return "the target is partly out of view: " + percent(match.inView) +
             " of it is in the camera's image; move it or the camera so that all of it is";
    case keTargetFinding::eTooDark:
      return "the target is too dark in the camera's view to be found; give it more light or a longer exposure";
    case keTargetFinding::eClipped:
      return "the target is clipped to white in the camera's view; give it less light or a shorter exposure";
    case keTargetFinding::ePoorMatch:
      return "the best candidate matches the reference image poorly (pose score " + fixed(match.score, 2) +
             ", at least " + fixed(kTargetScoreRefuse, 2) + " needed); is this the reference of the target in view?";
  }
  return "the target was not found";
}

kcCalibrationPose kfFindTargetPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                              const kcTargetSearchParams& search) {
  const kc3PlanePelBuffer calib = kfNormalisedCalibrationImage(calibrationImage);
  const long w = calib.width(), h = calib.height();
  if (w < 7 || h < 7) throw kcColorCalibrationDefs::BadImages("The calibration image must be at least 7 x 7 pels");
  const kcPelBuffer<unsigned char> view = kfIntensityImage(acquired), target = kfIntensityImage(calib);
  kcTargetMatch match;
  try {
    match = kfFindTarget(view, target, search);
  } catch (const kcBadArgument& e) {
    throw kcColorCalibrationDefs::BadImages("The calibration image cannot be found: " + e.text());
  }
  if (!match.found()) throw kcTargetNotFound(match, search);

  // The pose's affine sampling stays empty: the view is sampled through
  // the perspective only, and a reader of the affine one fails loudly.
  const kcAffineSamplingParams reference = kfReferenceSampling(w, h);
  kcCalibrationPose found;
  found.referenceImage = kfAffineTransformColorImage(calib, reference);
  found.perspective = kcPerspectivePose{{match.pose * gridToReference(reference), reference.xNumSamples(),
                                         reference.yNumSamples()},
                                        match};
  return found;
}
