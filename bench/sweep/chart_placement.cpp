#include "chart_placement.h"

#include <cmath>

ChartPlacement::ChartPlacement(const kcSimPose& pose, cv::Size sensor, cv::Size chart)
    : centre_(pose.x.value_or(sensor.width / 2.0), pose.y.value_or(sensor.height / 2.0)),
      chartCentre_(chart.width / 2.0, chart.height / 2.0),
      chart_(chart) {
  const double a = pose.rotation * CV_PI / 180.0;
  const double c = pose.scale * std::cos(a), s = pose.scale * std::sin(a);
  // Counter-clockwise as displayed, with y pointing down.
  turnAndScale_ = cv::Matx22d(c, s, -s, c);
}

cv::Point2d ChartPlacement::toSensor(cv::Point2d chartPoint) const {
  const cv::Vec2d d = turnAndScale_ * cv::Vec2d(chartPoint.x - chartCentre_.x, chartPoint.y - chartCentre_.y);
  return {centre_.x + d[0], centre_.y + d[1]};
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
