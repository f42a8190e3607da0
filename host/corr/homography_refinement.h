// Refinement of a plane's pose, a homography from a reference image to a
// view, by the enhanced correlation of the two images band-passed in linear
// light with every edge weighed alike, coarse to fine, at the resolution
// where the reference and the view's image of it have pels of about the
// same size; on the finest level fitted once more without the parts where
// the view differs from the reference far more than elsewhere (tape, glare,
// print the reference lacks).
#pragma once

#include <opencv2/core.hpp>

struct kcHomographyFit {
  cv::Matx33d pose;  // reference matrix coordinates -> view matrix coordinates
  // The enhanced correlation on the finest level refined, or -1 where the
  // refinement found nothing to correlate and pose is the start.
  double correlation = -1.0;
};

// reference and view are 2-D CV_8UC1 (sRGB-encoded grey); start maps the
// reference's matrix coordinates to the view's.
kcHomographyFit kfRefineHomography(const cv::Mat& reference, const cv::Mat& view, const cv::Matx33d& start);
