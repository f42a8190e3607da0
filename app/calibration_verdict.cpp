#include "app/calibration_verdict.h"

#include <algorithm>

#include "app/presentation.h"

namespace {

// A plane is clearly closer when the calibration took at least a third
// off its difference to the reference. A camera the search can set right
// gains far more (the simulated camera goes from about 30 pel values to
// about 1; with the exposure alone and no pel maps its weakest plane still
// drops to 0.48 of where it was), while two views at the same settings
// differ by a fraction of a percent in this measure.
constexpr double kCloserRatio = 2.0 / 3.0;
// A difference of at most this many pel values passes whatever it was
// before: it is about twice the simulated camera's noise after the pel
// maps, where a camera that is already calibrated stays, and a third off
// it is not to be had.
constexpr double kSmallDifference = 2.0;
// A plane with more than this share of its samples at 0 or 255 has lost
// part of the target to clipping, which the pel maps cannot undo. A
// calibrated view of the built-in target clips at most about 2.5% (it has
// no black or white of its own); a search that ran into the top of the
// range clipped about 40%, and one that crushed the dark end to hide
// cross-talk the pel maps cannot undo clipped as much, well inside the range.
constexpr double kClippedShare = 0.10;

// "red", "red and green", "red, green and blue".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

std::string edgeText(ExposureEdge edge) {
  return edge == ExposureEdge::both ? std::string("its fixed value")
                                    : "the " + std::string(exposureEdgeName(edge)) + " of its range";
}

bool clearlyCloser(double before, double after) {
  return after <= kSmallDifference || after <= kCloserRatio * before;
}

}  // namespace

const char* exposureEdgeName(ExposureEdge edge) {
  switch (edge) {
    case ExposureEdge::bottom:
      return "bottom";
    case ExposureEdge::top:
      return "top";
    case ExposureEdge::both:
      return "both";
    default:
      return "none";
  }
}

CalibrationVerdict judgeCalibration(const VerdictEvidence& e) {
  CalibrationVerdict verdict;
  std::vector<std::string> planes, changes;
  for (int k = 0; k < 3; ++k) {
    if (clearlyCloser(e.before[k], e.after[k])) continue;
    planes.push_back(planeName(k));
    changes.push_back(fixed(e.before[k], 2) + " -> " + fixed(e.after[k], 2));
  }
  if (!planes.empty())
    verdict.reasons.push_back(listed(planes) + (planes.size() == 1 ? " is" : " are") +
                              " not clearly closer to the reference (mean absolute difference " + listed(changes) +
                              ")");

  std::vector<std::string> clipped;
  for (int k = 0; k < 3; ++k)
    if (e.clipped[k] > kClippedShare) clipped.push_back(fixed(100.0 * e.clipped[k], 0) + "% of the " + planeName(k));
  if (!clipped.empty())
    verdict.reasons.push_back(
        (e.edge != ExposureEdge::none
             ? "the exposure ended at " + edgeText(e.edge) + " (" + fixed(e.exposure, 6) + " s) with "
             : "the calibrated settings (exposure " + fixed(e.exposure, 6) + " s) leave ") +
        listed(clipped) + " samples at 0 or 255");
  verdict.helped = verdict.reasons.empty();
  return verdict;
}

ExposureEdge exposureEdgeOf(const kcColorCalibrationParams& params, double exposure) {
  if (!params.isExposureEnabled()) return ExposureEdge::none;
  // The search rounds to the exposure step after holding the value to the
  // range, so an exposure at an end may lie up to half a step beyond it.
  const auto tolerance = [&](double bound) { return 0.5 * params.minExposureStepSize() + 1e-6 * bound; };
  // At or beyond an end: the search keeps its start settings when nothing
  // in the range is better, even outside it.
  const kcRange range = params.exposureRange();
  const bool top = exposure >= range.end() - tolerance(range.end());
  const bool bottom = exposure <= range.start() + tolerance(range.start());
  if (top && bottom) return ExposureEdge::both;
  if (top) return ExposureEdge::top;
  if (bottom) return ExposureEdge::bottom;
  return ExposureEdge::none;
}

std::array<double, 3> clippedShares(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference) {
  std::array<double, 3> shares{};
  for (int k = 0; k < 3; ++k) {
    const kcPelBuffer<unsigned char>& seen = view.pelPlane(k);
    const kcPelBuffer<unsigned char>& meant = reference.pelPlane(k);
    long clipped = 0, counted = 0;
    for (long y = 0; y < std::min(seen.height(), meant.height()); ++y) {
      const unsigned char* s = seen.pointToRow(seen.window().top + y);
      const unsigned char* m = meant.pointToRow(meant.window().top + y);
      for (long x = 0; x < std::min(seen.width(), meant.width()); ++x) {
        if (m[x] == 0 || m[x] == 255) continue;
        ++counted;
        clipped += s[x] == 0 || s[x] == 255;
      }
    }
    shares[static_cast<std::size_t>(k)] = counted > 0 ? static_cast<double>(clipped) / static_cast<double>(counted) : 0.0;
  }
  return shares;
}
