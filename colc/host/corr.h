// Host correlation: refinement of an affine pose of a training image in
// another image by normalised correlation.
#pragma once

#include "colc/host/diag.h"
#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

class kcNormalizedCorrelationAffineResult {
 public:
  // The identity pose with score 0.
  kcNormalizedCorrelationAffineResult() = default;
  // From the training image's client coordinates to the image's.
  const kcXform<2>& pose() const { return pose_; }
  void pose(const kcXform<2>& pose) { pose_ = pose; }
  // Normalised correlation of the training image with the image at the
  // pose, as kfNormalizedCorrelationAffinePose compares them.
  double score() const { return score_; }
  void score(double score) { score_ = score; }

 private:
  kcXform<2> pose_;
  double score_ = 0.0;
};

// The correlation found no consistent match near the start pose (the
// images do not overlap there, or one of them is flat).
class kcNormalizedCorrelationFailed : public kcExceptionWithString {
 public:
  using kcExceptionWithString::kcExceptionWithString;
};

// Refines startPose, an affine map from trainImage's client coordinates to
// image's, to the affine pose at which trainImage's window correlates best
// with image's window, and writes it with its score into result (which is
// left as it was when an exception leaves). The start pose should put the
// training image within a few pels of the truth. Pels are taken as
// sRGB-encoded and compared in linear light, where a camera's optics and
// resampling blend them, band-passed so that edges are compared rather than
// levels; the training image's rim, where the target meets its
// surroundings, is left out. The refinement never makes the pose worse by
// its own measure: the start pose itself is the result when the refined
// pose does not correlate better at full resolution, or when it lies
// beyond the start pose's uncertainty (a corner of the training image
// moved by more than 4 pels of image, the rotation changed by more than 2
// degrees, the scale by more than 3 %, or a shear or unequal scaling of
// more than 3 % added). The score is the correlation of the band-passed
// images at the pose returned. kcBadPointer for an unbound image;
// kcBadArgument for a singular start pose or client transform or a
// training image narrower or lower than 8 pels;
// kcNormalizedCorrelationFailed when no match is found. Diagnostics are not
// recorded.
void kfNormalizedCorrelationAffinePose(const kcPelBuffer_const<unsigned char>& trainImage,
                                       const kcPelBuffer_const<unsigned char>& image, const kcXform<2>& startPose,
                                       kcNormalizedCorrelationAffineResult& result, kcDiagObject* diag,
                                       unsigned long diagFlags);
