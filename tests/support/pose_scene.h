// Views of a calibration chart at known poses, for the alignment,
// correlation and pose-finding tests: rendered over clutter with OpenCV, or
// taken by the simulated camera.
//
// Images are OpenCV's blue-green-red CV_8UC3 matrices or grey CV_8UC1. A
// pose maps the chart's centred coordinates (its image coordinates minus
// half its size) to the view's image coordinates, in which pel (x, y)
// covers [x, x + 1) x [y, y + 1).
#pragma once

#include <cstddef>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

namespace colc_test {

struct TargetPose {
  double rotationDegrees = 0.0;  // the matrix (cos, -sin; sin, cos), y pointing down
  double scale = 1.0;
  cv::Point2d centre;  // where the chart's centre lands

  kcXform<2> xform() const;
};

// The simulated camera's chart, width x (2/3 width) pels.
cv::Mat simChart(int width);
// Another chart of patches: 8 x 5 random colours on a grey card.
cv::Mat otherChart(cv::Size size);
// A chart of random patch colours: a grid (columns x rows) of square
// patches on a dark card, its longer side longSide pels.
cv::Mat randomChart(cv::Size grid, int longSide, cv::RNG& rng);
// The chart's planes (blue, green, red) each scaled in linear light by its
// own factor: a camera whose planes see a printed chart unlike its file.
cv::Mat scaledPlanes(const cv::Mat& chart, const cv::Vec3d& factors);
// Clutter: smooth shading with random discs and lines.
cv::Mat clutter(cv::Size size, cv::RNG& rng);

// The chart pasted onto the background at the pose, in linear light
// (rendered at twice the resolution, its edge blended over one chart pel,
// averaged down and blurred by 0.6 pel), with noise of 2 grey levels.
cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const kcXform<2>& pose, cv::RNG& rng);
// One frame of the simulated camera (default settings and noise) showing
// the chart at the pose.
cv::Mat simFrame(const cv::Mat& chart, const TargetPose& pose, cv::Size sensor, unsigned long seed);

// A random colour chart (4 to 8 x 3 to 6 patches, the longer side
// minSide to maxSide pels) seen by the simulated camera at a random pose
// (rotation within +-20 degrees, scale 0.8 to 1.2, wholly in view), each
// plane of the chart with its own sensitivity (0.6 to 1.4): the same scene
// for the same seed.
struct ChartScene {
  cv::Mat chart;
  cv::Vec3d planes;
  TargetPose truth;
  cv::Mat frame;
};
ChartScene randomChartScene(unsigned long seed, cv::Size sensor, int minSide, int maxSide);

// A pose within +-maxRotation degrees and scales 0.8 to 1.2 at which the
// whole chart lies inside the view, 2 pels from its edges.
TargetPose randomPose(cv::Size chart, cv::Size view, cv::RNG& rng, double maxRotation = 21.0);

// The corner errors of a trial at random poses: COLC_POSE_TRIALS of them
// (defaultTrials when it is unset), each pose drawn from rng by randomPose
// before trial(pose, index) runs and returns its error. Prints the median
// and the largest as "<what> corner error over N poses: ..."; returns the
// errors sorted.
std::vector<double> cornerErrorsAtRandomPoses(const char* what, std::size_t defaultTrials, cv::Size chart,
                                              cv::Size view, cv::RNG& rng,
                                              const std::function<double(const TargetPose&, std::size_t)>& trial);

// The largest distance between where two poses put the corners of the
// rectangle of half sides (hw, hh) about the origin.
double cornerError(const kcXform<2>& found, const kcXform<2>& truth, double hw, double hh);

// The same for the corners of the chart's inner rectangle, 3 pels in from
// its edges, against the rectangle that pose finding samples.
double samplingCornerError(const kcAffineSamplingParams& sampling, const kcXform<2>& pose, cv::Size chart);

cv::Mat grey(const cv::Mat& bgr);

}  // namespace colc_test
