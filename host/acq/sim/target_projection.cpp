#include "host/acq/sim/target_projection.h"

#include <cmath>
#include <string>

#include "host/acq/sim/sensor_model.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/number_text.h"

namespace {

constexpr double kMaxTilt = 60.0;
constexpr double kMaxDistortion = 0.3;

void check(bool ok, const std::string& what) {
  if (!ok) throw kcBadArgument("simulated camera: " + what);
}

const kcSimCameraConfig& checked(const kcSimCameraConfig& c) {
  const kcSimPose& p = c.pose;
  check(std::isfinite(p.x.value_or(0.0)) && std::isfinite(p.y.value_or(0.0)) && std::isfinite(p.rotation),
        "target position or rotation not finite");
  check(std::isfinite(p.scale) && p.scale > 0.0, "scale " + kfNumberText(p.scale) + " not above 0");
  check(p.tilt >= 0.0 && p.tilt <= kMaxTilt, "tilt " + kfNumberText(p.tilt) + " outside 0 .. 60 degrees");
  check(std::isfinite(p.tiltAxis), "tilt-axis not finite");
  check(!c.focal || (std::isfinite(*c.focal) && *c.focal > 0.0),
        "focal " + kfNumberText(c.focal.value_or(0.0)) + " not above 0");
  check(c.distortion >= -kMaxDistortion && c.distortion <= kMaxDistortion,
        "distortion " + kfNumberText(c.distortion) + " outside -0.3 .. 0.3");
  return c;
}

using Matrix = std::array<double, 9>;

Matrix inverse(const Matrix& m) {
  const Matrix adjugate = {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
                           m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
                           m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
  const double det = m[0] * adjugate[0] + m[1] * adjugate[3] + m[2] * adjugate[6];
  Matrix result;
  for (std::size_t i = 0; i < 9; ++i) result[i] = adjugate[i] / det;
  return result;
}

// (x, y, w) = m (p, 1), then (x, y) / w where w is above 0 (in front).
std::optional<kcSimPoint> applied(const Matrix& m, kcSimPoint p) {
  const double w = m[6] * p.x + m[7] * p.y + m[8];
  if (!(w > 0.0)) return std::nullopt;
  return kcSimPoint{(m[0] * p.x + m[1] * p.y + m[2]) / w, (m[3] * p.x + m[4] * p.y + m[5]) / w};
}

}  // namespace

// The camera looks along its axis through the sensor's centre. The target's
// plane, square to that axis, would show as a similarity: centre c, turn R,
// scale s. Tilted by t about the in-plane axis a, a point q (from the
// target's centre) moves in the plane to M q = q - (1 - cos t) (n.q) n, n
// the unit vector 90 degrees counter-clockwise from a, and toward the
// camera by s sin t (n.q) sensor pels. A pinhole of focal length f at depth
// f then shows it at
//   o + (c - o + s R M q) / (1 - g.q),   g = s sin t / f n,  o the sensor's centre,
// a homography that keeps the centre at c and the scale along the axis at
// s; across it the target is foreshortened by cos t and the near side
// magnified.
kcSimProjection::kcSimProjection(const kcSimCameraConfig& config, long targetWidth, long targetHeight)
    // A lens whose focal length is about the diagonal of its image (53
    // degrees across it) is the usual lens for a view that a chart fills
    // much of; shorter ones bend the perspective more, longer ones less.
    : focal_(checked(config).focal.value_or(std::hypot(config.width, config.height))),
      distortion_(config.distortion),
      opticalCentre_{config.width / 2.0, config.height / 2.0},
      unitRadius_(std::hypot(config.width, config.height) / 2.0),
      tilted_(config.pose.tilt > 0.0) {
  check(targetWidth > 0 && targetHeight > 0, "target of no pels");
  const kcSimPose& pose = config.pose;
  const double cx = pose.x.value_or(opticalCentre_.x + kcSimModel::kCentreOffset[0]);
  const double cy = pose.y.value_or(opticalCentre_.y + kcSimModel::kCentreOffset[1]);
  const double degree = M_PI / 180.0, s = pose.scale, t = pose.tilt * degree;
  const double ca = std::cos(pose.rotation * degree), sa = std::sin(pose.rotation * degree);
  // Counter-clockwise as displayed, with y pointing down.
  const double r[4] = {s * ca, s * sa, -s * sa, s * ca};
  const double nx = -std::sin(pose.tiltAxis * degree), ny = -std::cos(pose.tiltAxis * degree);
  const double k = 1.0 - std::cos(t);
  const double m[4] = {1.0 - k * nx * nx, -k * nx * ny, -k * nx * ny, 1.0 - k * ny * ny};
  const double gx = s * std::sin(t) / focal_ * nx, gy = s * std::sin(t) / focal_ * ny;
  const double ox = opticalCentre_.x, oy = opticalCentre_.y;
  const double a[4] = {r[0] * m[0] + r[1] * m[2] - ox * gx, r[0] * m[1] + r[1] * m[3] - ox * gy,
                       r[2] * m[0] + r[3] * m[2] - oy * gx, r[2] * m[1] + r[3] * m[3] - oy * gy};
  // q is the target point less the target's centre.
  const double tx = targetWidth / 2.0, ty = targetHeight / 2.0;
  homography_ = {a[0], a[1], cx - a[0] * tx - a[1] * ty, a[2], a[3], cy - a[2] * tx - a[3] * ty,
                 -gx,  -gy,  1.0 + gx * tx + gy * ty};
  inverse_ = inverse(homography_);
}

kcSimProjection::kcSimProjection(const kcSimCameraConfig& config)
    : kcSimProjection(config, config.target.isBound() ? config.target.width() : kSimTargetChartWidth,
                      config.target.isBound() ? config.target.height()
                                              : kfSimTargetChartHeight(kSimTargetChartWidth)) {}

// The lens's distortion takes a point at radius u (in unit radii) to the
// radius d of d / (1 + k d^2) = u: d = 2 u / (1 + sqrt(1 - 4 k u^2)), the
// root that goes to u as k goes to 0.
std::optional<kcSimPoint> kcSimProjection::toSensor(kcSimPoint p) const {
  const std::optional<kcSimPoint> straight = applied(homography_, p);
  if (!straight || distortion_ == 0.0) return straight;
  const double dx = straight->x - opticalCentre_.x, dy = straight->y - opticalCentre_.y;
  const double reach = 1.0 - 4.0 * distortion_ * (dx * dx + dy * dy) / (unitRadius_ * unitRadius_);
  if (reach < 0.0) return std::nullopt;
  const double stretch = 2.0 / (1.0 + std::sqrt(reach));
  return kcSimPoint{opticalCentre_.x + stretch * dx, opticalCentre_.y + stretch * dy};
}

std::optional<kcSimPoint> kcSimProjection::toTarget(kcSimPoint p) const {
  const double dx = p.x - opticalCentre_.x, dy = p.y - opticalCentre_.y;
  const double bend = 1.0 + distortion_ * (dx * dx + dy * dy) / (unitRadius_ * unitRadius_);
  if (!(bend > 0.0)) return std::nullopt;
  return applied(inverse_, {opticalCentre_.x + dx / bend, opticalCentre_.y + dy / bend});
}
