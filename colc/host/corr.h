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
  // Normalised correlation of the training image with the image at the pose.
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
// left as it was when an exception leaves). The start pose must put the
// training image within about two pels of the truth at a quarter of full
// resolution. kcBadPointer for an unbound image; kcNormalizedCorrelationFailed
// when no match is found; kcBadArgument when the start pose is singular.
// Diagnostics are not recorded.
void kfNormalizedCorrelationAffinePose(const kcPelBuffer_const<unsigned char>& trainImage,
                                       const kcPelBuffer_const<unsigned char>& image, const kcXform<2>& startPose,
                                       kcNormalizedCorrelationAffineResult& result, kcDiagObject* diag,
                                       unsigned long diagFlags);
