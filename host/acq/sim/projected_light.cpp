#include "host/acq/sim/projected_light.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "host/acq/sim/sensor_model.h"

namespace {

using namespace kcSimModel;

// Points along each side of the target, and of the sensor, at which the
// view's scale is measured. Its extremes lie on the edges of what is in
// view, and it changes slowly: a perspective or a radial distortion.
constexpr int kScaleProbes = 17;
// Outside the source image: the background, whatever the interpolation.
constexpr float kOutside = -2.0f;

// The smallest singular value of the view's derivative at target point p,
// by central differences; none where a neighbour is not imaged.
std::optional<double> smallestScaleAt(const kcSimProjection& projection, kcSimPoint p) {
  constexpr double h = 0.5;
  const auto du0 = projection.toSensor({p.x - h, p.y}), du1 = projection.toSensor({p.x + h, p.y});
  const auto dv0 = projection.toSensor({p.x, p.y - h}), dv1 = projection.toSensor({p.x, p.y + h});
  if (!(du0 && du1 && dv0 && dv1)) return std::nullopt;
  const double a = (du1->x - du0->x) / (2 * h), c = (du1->y - du0->y) / (2 * h);
  const double b = (dv1->x - dv0->x) / (2 * h), d = (dv1->y - dv0->y) / (2 * h);
  const double sum = a * a + b * b + c * c + d * d, det = a * d - b * c;
  return std::sqrt(std::max(0.0, (sum - std::sqrt(std::max(0.0, sum * sum - 4.0 * det * det))) / 2.0));
}

bool within(kcSimPoint p, cv::Size size) { return p.x >= 0.0 && p.y >= 0.0 && p.x <= size.width && p.y <= size.height; }

// Where each sample of sensor rows y0 .. y0 + rows (n x n samples a pel)
// looks in source, the target resampled by (fx, fy), in OpenCV's
// coordinates (pel centres on whole numbers).
cv::Mat sampleMap(const kcSimProjection& projection, int width, int y0, int rows, int n, cv::Size source, double fx,
                  double fy) {
  cv::Mat map(rows * n, width * n, CV_32FC2);
  const float right = static_cast<float>(source.width) + 1.0f, bottom = static_cast<float>(source.height) + 1.0f;
  for (int i = 0; i < map.rows; ++i) {
    auto* row = map.ptr<cv::Vec2f>(i);
    const double y = y0 + (i + 0.5) / n;
    for (int j = 0; j < map.cols; ++j) {
      const std::optional<kcSimPoint> t = projection.toTarget({(j + 0.5) / n, y});
      // Far outside the source is outside it too, and stays in the range
      // of the interpolation's fixed-point coordinates.
      row[j] = t ? cv::Vec2f(std::clamp(static_cast<float>(t->x * fx - 0.5), kOutside, right),
                             std::clamp(static_cast<float>(t->y * fy - 0.5), kOutside, bottom))
                 : cv::Vec2f(kOutside, kOutside);
    }
  }
  return map;
}

// The smallest scale, in sensor pels per target pel along the direction in
// which the view shrinks the target most, over the parts of the target in
// view; 1 when none is.
double smallestScaleInView(const kcSimProjection& projection, cv::Size target, cv::Size sensor) {
  std::vector<kcSimPoint> inView;
  for (int i = 0; i < kScaleProbes; ++i)
    for (int j = 0; j < kScaleProbes; ++j) {
      const double across = static_cast<double>(j) / (kScaleProbes - 1),
                   down = static_cast<double>(i) / (kScaleProbes - 1);
      const kcSimPoint onTarget{across * target.width, down * target.height};
      const std::optional<kcSimPoint> shown = projection.toSensor(onTarget);
      if (shown && within(*shown, sensor)) inView.push_back(onTarget);
      const std::optional<kcSimPoint> seen = projection.toTarget({across * sensor.width, down * sensor.height});
      if (seen && within(*seen, target)) inView.push_back(*seen);
    }
  std::optional<double> smallest;
  for (const kcSimPoint& p : inView)
    if (const std::optional<double> scale = smallestScaleAt(projection, p))
      smallest = std::min(smallest.value_or(*scale), *scale);
  return smallest.value_or(1.0);
}

}  // namespace

cv::Mat kfTargetForSampling(const cv::Mat& targetLinear, double factor) {
  if (factor >= 1.0) return targetLinear;
  cv::Mat averaged;
  const cv::Size size(std::max(1, cvRound(targetLinear.cols * factor)),
                      std::max(1, cvRound(targetLinear.rows * factor)));
  cv::resize(targetLinear, averaged, size, 0.0, 0.0, cv::INTER_AREA);
  return averaged;
}

// As for a similarity (scene.cpp), the light is sampled at n x n points
// evenly over each pel and averaged. Here n grows, up to
// kMaxSupersampling, until the samples lie no further apart than the
// target's pels where the view shrinks the target most; beyond that the
// target is first averaged over areas to the samples' spacing there.
// Nowhere do target pels fall between samples, so nothing aliases; where
// the view shrinks the target less, the samples are only denser.
cv::Mat kfProjectedLight(const cv::Mat& targetLinear, const kcSimProjection& projection, cv::Size sensor,
                         bool integrate) {
  const double scale = smallestScaleInView(projection, targetLinear.size(), sensor);
  const int n =
      integrate ? std::clamp(static_cast<int>(std::ceil(1.0 / scale - 1e-9)), kSupersampling, kMaxSupersampling) : 1;
  const cv::Mat source = kfTargetForSampling(targetLinear, scale * n);
  const double fx = static_cast<double>(source.cols) / targetLinear.cols;
  const double fy = static_cast<double>(source.rows) / targetLinear.rows;

  const int rowsPerStrip = std::max(1, kStripSamples / (n * n * sensor.width));
  cv::Mat light(sensor, CV_32FC3), samples;
  for (int y0 = 0; y0 < sensor.height; y0 += rowsPerStrip) {
    const int rows = std::min(rowsPerStrip, sensor.height - y0);
    cv::Mat strip = light.rowRange(y0, y0 + rows);
    cv::remap(source, n == 1 ? strip : samples, sampleMap(projection, sensor.width, y0, rows, n, source.size(), fx, fy),
              cv::noArray(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(kBackground));
    if (n > 1) cv::resize(samples, strip, strip.size(), 0.0, 0.0, cv::INTER_AREA);  // exact means of n x n
  }
  return light;
}
