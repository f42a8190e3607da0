#include "pose_zones.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#include "chart_placement.h"

namespace {

constexpr double kMaxRotation = 20.0;
constexpr double kMinScale = 0.8;
constexpr double kMaxScale = 1.2;
constexpr double kMargin = 8.0;
// Turns and scales drawn in a row without room for the chart on the sensor.
constexpr int kMaxMisfits = 1000;

struct Interval {
  double low, high;
};

// The centres, along one axis, that keep the chart's extent about its
// centre (low .. high) within the sensor's length less the margin.
Interval centres(double extentLow, double extentHigh, int length) {
  return {kMargin - extentLow, length - kMargin - extentHigh};
}

}  // namespace

std::vector<kcSimPose> drawPoses(int count, unsigned long seed, cv::Size sensor, cv::Size chart) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> rotation(-kMaxRotation, kMaxRotation), scale(kMinScale, kMaxScale);
  std::vector<kcSimPose> poses;
  int misfits = 0;
  while (static_cast<int>(poses.size()) < count) {
    kcSimPose pose;
    pose.rotation = rotation(random);
    pose.scale = scale(random);
    pose.x = 0.0;
    pose.y = 0.0;
    const Quad around = ChartPlacement(pose, sensor, chart).corners();
    const auto [left, right] = std::minmax({around[0].x, around[1].x, around[2].x, around[3].x});
    const auto [top, bottom] = std::minmax({around[0].y, around[1].y, around[2].y, around[3].y});
    const Interval xs = centres(left, right, sensor.width), ys = centres(top, bottom, sensor.height);
    if (xs.low > xs.high || ys.low > ys.high) {
      if (++misfits == kMaxMisfits)
        throw std::invalid_argument("no pose of the zones puts the whole chart on a " + std::to_string(sensor.width) +
                                    " x " + std::to_string(sensor.height) + " sensor");
      continue;
    }
    misfits = 0;
    pose.x = std::uniform_real_distribution<double>(xs.low, xs.high)(random);
    pose.y = std::uniform_real_distribution<double>(ys.low, ys.high)(random);
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
