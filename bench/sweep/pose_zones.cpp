#include "pose_zones.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#include "chart_placement.h"
#include "host/runtime/number_text.h"

namespace {

constexpr double kMargin = 8.0;
// Rounding in placing the corners, which must not count as leaving the view.
constexpr double kSlack = 1e-6;
// Poses drawn in a row without room for the chart on the sensor, and
// centres drawn for one pose before it counts as without room.
constexpr int kMaxMisfits = 1000;

struct Interval {
  double low, high;
};

// The centres, along one axis, that keep the chart's extent about its
// centre (low .. high) within the sensor's length less the margin.
Interval centres(double extentLow, double extentHigh, int length) {
  return {kMargin - extentLow, length - kMargin - extentHigh};
}

Quad cornersAt(kcSimPose pose, double x, double y, cv::Size sensor, cv::Size chart) {
  pose.x = x;
  pose.y = y;
  return ChartPlacement(pose, sensor, chart).corners();
}

bool inView(const Quad& corners, cv::Size sensor) {
  return std::all_of(corners.begin(), corners.end(), [&](const cv::Point2d& p) {
    return p.x >= kMargin - kSlack && p.y >= kMargin - kSlack && p.x <= sensor.width - kMargin + kSlack &&
           p.y <= sensor.height - kMargin + kSlack;
  });
}

// The largest scale must fit square to the sensor (and upright, with
// quarter turns), or the top of the zones' scales would never be drawn.
void checkLargestScaleFits(const PoseZones& zones, cv::Size sensor, cv::Size chart) {
  for (double rotation : {0.0, 90.0}) {
    if (rotation > 0.0 && !zones.quarterTurns) continue;
    kcSimPose square;
    square.rotation = rotation;
    square.scale = zones.maxScale;
    if (!inView(cornersAt(square, sensor.width / 2.0, sensor.height / 2.0, sensor, chart), sensor))
      throw std::invalid_argument("a chart of " + std::to_string(chart.width) + " x " + std::to_string(chart.height) +
                                  " pels at scale " + kfNumberText(zones.maxScale) + " does not fit a " +
                                  std::to_string(sensor.width) + " x " + std::to_string(sensor.height) +
                                  " sensor even square to it" + (rotation > 0.0 ? " and upright" : "") +
                                  ": a narrower chart or a larger sensor");
  }
}

}  // namespace

std::vector<kcSimPose> drawPoses(int count, unsigned long seed, cv::Size sensor, cv::Size chart,
                                 const PoseZones& zones) {
  checkLargestScaleFits(zones, sensor, chart);
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> rotation(-zones.maxRotation, zones.maxRotation),
      scale(zones.minScale, zones.maxScale), tilt(0.0, zones.maxTilt), axis(0.0, 360.0);
  std::uniform_int_distribution<int> quarterTurn(0, 3);
  std::vector<kcSimPose> poses;
  int misfits = 0;
  while (static_cast<int>(poses.size()) < count) {
    kcSimPose pose;
    pose.rotation = rotation(random);
    pose.scale = scale(random);
    if (zones.maxTilt > 0.0) {
      pose.tilt = tilt(random);
      pose.tiltAxis = axis(random);
    }
    if (zones.quarterTurns) pose.rotation += 90.0 * quarterTurn(random);
    // The extent about the centre at the sensor's centre. Seen in
    // perspective, the chart changes its shape a little as it moves off
    // the camera's axis, so a centre drawn from these extents is checked.
    const double middleX = sensor.width / 2.0, middleY = sensor.height / 2.0;
    const Quad around = cornersAt(pose, middleX, middleY, sensor, chart);
    const auto [left, right] = std::minmax({around[0].x, around[1].x, around[2].x, around[3].x});
    const auto [top, bottom] = std::minmax({around[0].y, around[1].y, around[2].y, around[3].y});
    const Interval xs = centres(left - middleX, right - middleX, sensor.width);
    const Interval ys = centres(top - middleY, bottom - middleY, sensor.height);
    bool placed = false;
    for (int attempt = 0; xs.low <= xs.high && ys.low <= ys.high && !placed && attempt < kMaxMisfits; ++attempt) {
      pose.x = std::uniform_real_distribution<double>(xs.low, xs.high)(random);
      pose.y = std::uniform_real_distribution<double>(ys.low, ys.high)(random);
      placed = inView(cornersAt(pose, *pose.x, *pose.y, sensor, chart), sensor);
    }
    if (!placed) {
      if (++misfits == kMaxMisfits)
        throw std::invalid_argument("no pose of the zones puts the whole chart on a " + std::to_string(sensor.width) +
                                    " x " + std::to_string(sensor.height) + " sensor");
      continue;
    }
    misfits = 0;
    poses.push_back(pose);
  }
  return poses;
}

kcSimPose alignedPose(cv::Size sensor, cv::Size chart) {
  kcSimPose pose;
  // The chart's centre plus a whole number of pels: chart pels fall on sensor pels.
  pose.x = chart.width / 2.0 + std::floor((sensor.width - chart.width) / 2.0);
  pose.y = chart.height / 2.0 + std::floor((sensor.height - chart.height) / 2.0);
  pose.rotation = 0.0;  // the camera's own default view is turned a little
  return pose;
}
