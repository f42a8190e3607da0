// Camera views of a colour target at known poses, rendered with OpenCV,
// for the alignment, correlation and pose-finding tests.
//
// Images are cv::Mat in RGB plane order (CV_8UC3) or grey (CV_8UC1). A pose
// maps the target's centred coordinates (image coordinates of the target
// minus half its size) to the scene's image coordinates, in which pel
// (x, y) covers [x, x + 1) x [y, y + 1).
#pragma once

#include <array>

#include <opencv2/core.hpp>

#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

namespace colc_test {

struct TargetPose {
  double rotationDegrees = 0.0;
  double scale = 1.0;
  cv::Point2d centre;  // where the target's centre lands in the scene

  kcXform<2> xform() const;
};

// Target: 6 x 4 patches of distinct colours and intensities on a grey card
// with a dark rim.
cv::Mat makeTargetChart(cv::Size size);
// Another chart of a similar kind: 8 x 5 patches of other colours.
cv::Mat makeOtherChart(cv::Size size);
// A cluttered background: smooth shading with random blobs and lines.
cv::Mat makeBackground(cv::Size size, cv::RNG& rng);

// How the camera sees a scene.
struct CameraLook {
  cv::Vec3d gain{1.0, 1.0, 1.0};
  cv::Vec3d offset{0.0, 0.0, 0.0};
  double blurSigma = 0.6;   // optics, in scene pels
  double noiseSigma = 2.0;  // grey levels, per pel and plane
};

// The chart pasted onto the background at the pose (rendered at twice the
// resolution and averaged down), then seen through the camera.
cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const TargetPose& pose, const CameraLook& look,
                    cv::RNG& rng);

// A pose within the given rotation and scale ranges at which the whole
// target lies inside the scene, at least margin pels from its edges.
TargetPose randomPose(cv::Size chart, cv::Size scene, cv::RNG& rng, double maxRotation = 21.0,
                      double minScale = 0.8, double maxScale = 1.2, double margin = 2.0);

// The largest distance between where two poses put the corners of a
// rectangle given in the target's centred coordinates.
double cornerError(const kcXform<2>& found, const kcXform<2>& truth, double halfWidth, double halfHeight);

// Intensity of an RGB image (0.299 R + 0.587 G + 0.114 B).
cv::Mat toGrey(const cv::Mat& rgb);

// A buffer that shares the matrix's pels (8-bit, one plane).
kcPelBuffer<unsigned char> bufferOf(const cv::Mat& grey);

}  // namespace colc_test
