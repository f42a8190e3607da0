#include "chart_placement.h"

#include <stdexcept>

namespace {

kcSimCameraConfig cameraAt(const kcSimPose& pose, cv::Size sensor) {
  kcSimCameraConfig config;
  config.width = sensor.width;
  config.height = sensor.height;
  config.pose = pose;
  return config;
}

}  // namespace

ChartPlacement::ChartPlacement(const kcSimPose& pose, cv::Size sensor, cv::Size chart)
    : projection_(cameraAt(pose, sensor), chart.width, chart.height), chart_(chart) {}

cv::Point2d ChartPlacement::toSensor(cv::Point2d chartPoint) const {
  const std::optional<kcSimPoint> shown = projection_.toSensor({chartPoint.x, chartPoint.y});
  if (!shown) throw std::invalid_argument("chart placement: a point of the chart lies behind the camera");
  return {shown->x, shown->y};
}

Quad ChartPlacement::toSensor(cv::Rect2d r) const {
  return {toSensor(r.tl()), toSensor({r.x + r.width, r.y}), toSensor(r.br()), toSensor({r.x, r.y + r.height})};
}

Quad ChartPlacement::corners() const { return toSensor(cv::Rect2d(0.0, 0.0, chart_.width, chart_.height)); }

Quad ChartPlacement::interior(const kcSimChartPatch& patch, double margin) const {
  const double w = static_cast<double>(patch.width), h = static_cast<double>(patch.height);
  return toSensor(cv::Rect2d(static_cast<double>(patch.x) + margin * w, static_cast<double>(patch.y) + margin * h,
                             (1.0 - 2.0 * margin) * w, (1.0 - 2.0 * margin) * h));
}
