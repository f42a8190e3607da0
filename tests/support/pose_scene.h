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
#include "host/acq/sim/sim_camera.h"

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

// A pose of the chart's plane seen at a slant by a pinhole camera: the
// chart, scaled, tilted by tiltDegrees about an axis in its plane at
// tiltAxisDegrees from its x axis, at the distance focal from the camera,
// projected, then turned and placed in the view as TargetPose does.
struct PlanePose {
  double rotationDegrees = 0.0;
  double scale = 1.0;  // view pels per chart pel before the tilt
  cv::Point2d centre;
  double tiltDegrees = 0.0;
  double tiltAxisDegrees = 0.0;
  double focal = 1400.0;  // view pels: a 1280 pel wide view sees about 50 degrees

  // From the chart's image coordinates to the view's.
  cv::Matx33d homography(cv::Size chart) const;
};

// A plane pose wholly inside the view, 2 pels from its edges: turned by
// any angle, scaled between minScale and maxScale (evenly in the
// logarithm), tilted by up to maxTilt degrees about a random axis.
PlanePose randomPlanePose(cv::Size chart, cv::Size view, cv::RNG& rng, double minScale, double maxScale,
                          double maxTilt);

// The chart pasted onto the background at the pose, in linear light
// (rendered at twice the resolution, its edge blended over one chart pel,
// averaged down and blurred by 0.6 pel), with noise of 2 grey levels.
cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const kcXform<2>& pose, cv::RNG& rng);
// The same for a pose from the chart's image coordinates to the view's,
// blurred by blur pels and with noise of noise grey levels.
cv::Mat renderScene(const cv::Mat& chart, const cv::Mat& background, const cv::Matx33d& pose, cv::RNG& rng,
                    double blur = 0.6, double noise = 2.0);
// One frame of the simulated camera (default settings and noise) showing
// the chart at the pose; one frame of the camera as configured.
cv::Mat simFrame(const cv::Mat& chart, const TargetPose& pose, cv::Size sensor, unsigned long seed);
cv::Mat simFrame(const kcSimCameraConfig& config);

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

// A random colour chart (4 to 8 x 3 to 6 patches) rendered over clutter
// (renderScene) at a random plane pose: any turn, scale 0.4 to 2.5 (evenly
// in the logarithm), tilted by up to maxTilt degrees about a random axis,
// the chart's longer side 100 to 900 pels in the view, wholly in view;
// each plane of the chart with its own sensitivity (0.6 to 1.4), a blur of
// 0.3 to 1.5 pels and noise of 1 to 4 grey levels. The same scene for the
// same seed.
struct TargetScene {
  cv::Mat chart;
  cv::Vec3d planes;
  PlanePose truth;
  cv::Matx33d pose;  // chart image coordinates -> view image coordinates
  double blur = 0.0, noise = 0.0;
  cv::Mat frame;
};
TargetScene randomTargetScene(unsigned long seed, cv::Size sensor, double maxTilt);
// The same kind of chart and pose seen by the simulated camera (default
// settings, noise and blur) through its tilt option; truth.focal is unused
// (the camera's own lens) and blur and noise are 0 (the camera's own).
TargetScene randomSimTargetScene(unsigned long seed, cv::Size sensor, double maxTilt);

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

// How far a found pose (chart image coordinates -> view image coordinates)
// is from the truth, on the chart's outline: where the centre lands, the
// largest difference of a side's length and of a side's direction
// (radians), and the largest distance between corners.
struct PoseErrors {
  double centre = 0.0, side = 0.0, angle = 0.0, corner = 0.0;
};
PoseErrors poseErrors(const cv::Matx33d& found, const cv::Matx33d& truth, cv::Size chart);

cv::Mat grey(const cv::Mat& bgr);

}  // namespace colc_test
