// Where the simulated camera puts the built-in chart on its sensor, and the
// parts of the chart the sweep reads: the chart's corners and the interiors
// of its colour patches, in sensor image coordinates (a pel (x, y) covers
// [x, x + 1) x [y, y + 1)).
#pragma once

#include <array>
#include <opencv2/core.hpp>

#include "host/acq/sim/sim_camera.h"
#include "host/acq/sim/target_chart.h"
#include "host/acq/sim/target_projection.h"

using Quad = std::array<cv::Point2d, 4>;

class ChartPlacement {
 public:
  // pose: the pose of a chart of chart pels before a camera with a sensor
  // of sensor pels and its default lens, as the camera takes it.
  ChartPlacement(const kcSimPose& pose, cv::Size sensor, cv::Size chart);

  // The sensor point that shows the chart point (kcSimProjection);
  // std::invalid_argument for a point behind the camera.
  cv::Point2d toSensor(cv::Point2d chartPoint) const;
  // The chart's outline on the sensor, corner by corner.
  Quad corners() const;
  // The patch's rectangle less margin (a share of its side) on every side.
  // The camera sees the chart through a homography, which keeps straight
  // lines straight: the quadrilateral is the patch's interior exactly.
  Quad interior(const kcSimChartPatch& patch, double margin) const;

 private:
  Quad toSensor(cv::Rect2d chartRect) const;

  kcSimProjection projection_;
  cv::Size chart_;
};
