#include "app/aim_status.h"

#include <algorithm>

#include "colc/tool/target_pose.h"
#include "app/presentation.h"

namespace {

// The clipped share and the brightest level (its 99th percentile, so that
// a few hot pels do not count) of the view's samples on the grid.
void measureExposure(const kc3PlanePelBuffer& samples, AimStatus& status) {
  const kcPelBuffer_const<unsigned char> planes[3] = {samples.plane0(), samples.plane1(), samples.plane2()};
  const kcPelRect window = planes[0].window();
  long clipped = 0, total = 0;
  std::vector<unsigned char> brightest;
  for (long y = window.top; y < window.bottom; ++y)
    for (long x = 0; x < window.width(); ++x) {
      unsigned char top = 0;
      for (const auto& plane : planes) top = std::max(top, plane.pointToRow(y)[x]);
      clipped += top == 255;
      brightest.push_back(top);
      ++total;
    }
  if (total == 0) return;
  status.clipped = static_cast<double>(clipped) / static_cast<double>(total);
  const auto at = brightest.begin() + static_cast<long>(0.99 * static_cast<double>(brightest.size() - 1));
  std::nth_element(brightest.begin(), at, brightest.end());
  status.brightest = *at / 255.0;
}

}  // namespace

AimStatus aimStatus(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference) {
  AimStatus status;
  try {
    const kcCalibrationPose pose = kfFindTargetPose(view, reference);
    status.match = pose.perspective->match;
    measureExposure(kfViewPelsAtSamples(view, pose), status);
  } catch (const kcTargetNotFound& e) {
    status.match = e.match();
    status.line = "not ready: " + e.text();
    return status;
  }
  const kcTargetMatch& m = status.match;
  std::string exposure = "exposure fits";
  if (status.clipped > kAimMostClipped)
    exposure = "exposure too high (" + fixed(100.0 * status.clipped, 0) + " % of the target clipped)";
  else if (status.brightest < kAimLeastBrightest)
    exposure = "exposure too low (brightest " + fixed(100.0 * status.brightest, 0) + " % of full scale)";
  const bool doubtful = kfTargetMatchIsDoubtful(m);
  status.ready = !doubtful && exposure == "exposure fits";
  status.line = std::string(status.ready ? "ready" : "not ready") + ": scale " + fixed(m.scale, 2) + ", turn " +
                fixed(m.rotationDegrees, 1) + " deg, tilt " + fixed(m.tiltDegrees, 0) + " deg, " +
                fixed(100.0 * m.inView, 0) + " % in view, pose score " + fixed(m.score, 2) +
                (doubtful ? " (low)" : "") + ", " + exposure;
  return status;
}
