// Finding the calibration image in the camera's view, and the two image
// helpers that pose finding and the measurement share.
#pragma once

#include "colc/host/align.h"
#include "colc/host/diag.h"
#include "colc/host/imaging.h"
#include "colc/host/perspective.h"
#include "colc/host/target_finder.h"

#include <optional>

// Locates calibrationImage in acquired (rotated by up to 21 degrees either
// way, scaled by 0.8 to 1.2) and prepares the comparison of later
// acquisitions with it: referenceImage becomes the calibration image
// resampled over its inner rectangle (3 pels in from every edge) on a grid
// of at most about 150 x 150 samples, and sampling the sampling of the same
// rectangle of the target in acquired, at the pose found, on the same grid.
// Both outputs are written only when everything has succeeded. Throws
// kcColorCalibrationDefs::BadImages "No pattern found" when the target is
// not in view, and BadImages for a calibration image narrower or lower than
// 7 pels; exceptions of the host operations pass through.
// What pose finding yields, kept together: the reference image and the
// sampling of the camera's view onto its grid. Unbound reference: not found.
// A pose found by our own finder (target_pose.h) samples the view through
// its perspective instead, and leaves sampling empty (see kfViewSamples).
struct kcPerspectivePose {
  kcPerspectiveSamplingParams sampling;
  kcTargetMatch match;  // what the finder found: its pose, score, scale, turn and slant
};
struct kcCalibrationPose {
  kc3PlanePelBuffer referenceImage;
  kcAffineSamplingParams sampling;
  std::optional<kcPerspectivePose> perspective = std::nullopt;
};

// The view's samples on the pose's reference grid, through perspective
// when the pose has it, else through sampling.
kc3PlanePelBuffer kfViewSamples(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose);
// The pel under each sample's centre instead: what the camera delivered
// there, a clipped pel not averaged with its neighbours.
kc3PlanePelBuffer kfViewPelsAtSamples(const kc3PlanePelBuffer& acquired, const kcCalibrationPose& pose);

void kfFindCalibrationPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                           kc3PlanePelBuffer& referenceImage, kcAffineSamplingParams& sampling, kcDiagObject* diag,
                           unsigned long diagFlags);

// The pose search kfFindCalibrationPose runs: coarse to fine, rotation
// within +-21 degrees, scale 0.8 to 1.2.
kcSXAlignRunParams kfCalibrationPoseSearch();

// Each plane resampled through the sampling, in plane order.
kc3PlanePelBuffer kfAffineTransformColorImage(const kc3PlanePelBuffer& image, const kcAffineSamplingParams& sampling);

// The 8-bit intensity image of a colour image.
kcPelBuffer<unsigned char> kfIntensityImage(const kc3PlanePelBuffer& image);

// The sample counts of the reference grid over a rectangle of the given
// side lengths: their integer parts, scaled down together to a product of
// about 150 x 150 when it is larger, unless a count would fall below 2.
// The counts are 16-bit integers: sides of 32768 pels or more do not fit,
// and the resampling then refuses the grid.
struct kcReferenceGridSize {
  long xSamples = 0;
  long ySamples = 0;
  bool capped = false;
};
kcReferenceGridSize kfReferenceGridSize(double xLength, double yLength);

// An independent copy of the image whose first pel is the origin of both
// its image and its client coordinates, as pose finding compares it.
kc3PlanePelBuffer kfNormalisedCalibrationImage(const kc3PlanePelBuffer& image);
// The inner rectangle (3 pels in from every edge) of a w x h calibration
// image on the reference grid, in its image coordinates; w and h at least 7.
kcAffineSamplingParams kfReferenceSampling(long w, long h);
