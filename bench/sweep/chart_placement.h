// Where the simulated camera puts the built-in chart on its sensor, and the
// parts of the chart the sweep reads: the chart's corners and the interiors
// of its colour patches, in sensor image coordinates (a pel (x, y) covers
// [x, x + 1) x [y, y + 1)).
#pragma once

#include <array>
#include <opencv2/core.hpp>

#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"

using Quad = std::array<cv::Point2d, 4>;

class ChartPlacement {
 public:
  // pose: the camera's pose of a chart of chart pels on a sensor of sensor
  // pels; an unset centre is the sensor's centre, as the camera takes it.
  ChartPlacement(const kcSimPose& pose, cv::Size sensor, cv::Size chart);

  // The sensor point that shows the chart point: the camera places the
  // chart's centre at the pose's centre, turned and scaled about it.
  cv::Point2d toSensor(cv::Point2d chartPoint) const;
  // The chart's outline on the sensor, corner by corner.
  Quad corners() const;
  // The patch's rectangle less margin (a share of its side) on every side.
  Quad interior(const kcSimChartPatch& patch, double margin) const;

 private:
  Quad toSensor(cv::Rect2d chartRect) const;

  cv::Point2d centre_;
  cv::Point2d chartCentre_;
  cv::Matx22d turnAndScale_;
  cv::Size chart_;
};
