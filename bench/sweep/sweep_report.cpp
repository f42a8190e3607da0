#include "sweep_report.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "sweep_summary.h"

namespace {

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string planes(const std::array<double, 3>& values, const char* pattern = "%.2f") {
  return format(pattern, values[0]) + " / " + format(pattern, values[1]) + " / " + format(pattern, values[2]);
}

bool anyStart(const std::vector<PoseMeasurement>& measurements) {
  return std::any_of(measurements.begin(), measurements.end(),
                     [](const PoseMeasurement& m) { return m.sweepCase.start.has_value(); });
}

bool anyTilt(const std::vector<PoseMeasurement>& measurements) {
  return std::any_of(measurements.begin(), measurements.end(),
                     [](const PoseMeasurement& m) { return m.sweepCase.placement.tilt > 0.0; });
}

void writePoseRow(std::ostream& out, const PoseMeasurement& m, bool withStart, bool withTilt) {
  const SweepCase& c = m.sweepCase;
  out << "| " << c.pose << " | " << format("%.3f", *c.placement.x) << " | " << format("%.3f", *c.placement.y) << " | "
      << format("%.2f", c.placement.rotation) << " | " << format("%.3f", c.placement.scale) << " | ";
  if (withTilt)
    out << format("%.2f", c.placement.tilt) << " | " << format("%.1f", c.placement.tiltAxis) << " | "
        << (m.untiltedCorrectedMeanDeltaE ? format("%.2f", *m.untiltedCorrectedMeanDeltaE) : "") << " | ";
  out << format("%g", c.crossTalk) << " | ";
  if (withStart) {
    const kcSimCameraConfig opening;
    const kcColorCameraSettings start =
        c.start.value_or(kcColorCameraSettings(opening.exposure, opening.contrast, opening.brightness));
    out << format("%.4f", start.exposure()) << " / " << format("%.3f", start.contrast()) << " / "
        << format("%.3f", start.brightness()) << " | ";
  }
  if (!m.failure.empty()) {
    out << "failed: " << m.failure << " | | | | | | | | | | | | | | |\n";
    return;
  }
  out << format("%.4f", m.exposure) << " | " << format("%.3f", m.contrast) << " | " << format("%.3f", m.brightness)
      << " | " << (m.atExposureEdge ? "**yes**" : "no") << " | " << planes(m.before) << " | "
      << planes(m.after) + " | " + planes(afterOverBefore(m)) << " | " << format("%.2f", m.meanDeltaE) << " | " << format("%.2f", m.maxDeltaE)
      << " | " << m.correction << " | " << format("%.2f", m.correctedMeanDeltaE) << " | "
      << format("%.2f", m.correctedMaxDeltaE) << " | " << m.clippedPatches << " | " << m.acquisitions << " | "
      << (m.score ? format("%.4f", *m.score) : "fit failed") << " |\n";
}

}  // namespace

void writeMarkdown(std::ostream& out, const std::vector<PoseMeasurement>& measurements) {
  const bool withStart = anyStart(measurements), withTilt = anyTilt(measurements);
  out << "## Poses\n\n"
      << "Pose 0 is the pel-aligned reference. Before and after: mean absolute difference per plane (R / G / B) "
         "between the view on the chart's grid (at the pose the search found) and the chart; after at the calibrated "
         "settings through the pel maps. dE: CIEDE2000 over the 24 patch interiors, "
         "calibrated and pel-mapped; corrected dE the same through the colour correction colc calibrate adopts (none: "
         "the pel maps). Clipped: patches with over 1 % of their interior at 0 or 255 before the pel "
         "maps. Score: the search's own measure of its result (the fits' RMS error over their active share, lower is "
         "better) on a fresh view at the calibrated settings."
      << (withStart ? " Start: the exposure, contrast and brightness the camera opened with." : "")
      << (withTilt ? " Tilt: degrees the chart is turned out of the sensor's plane; tilt axis: the direction of the "
                     "axis it turns about, degrees counter-clockwise from the chart's horizontal axis; square: the corrected "
                     "mean dE of the same pose square to the camera (with --untilted-twins)."
                   : "")
      << "\n\n"
      << "| pose | x | y | rotation | scale | " << (withTilt ? "tilt | tilt axis | square | " : "") << "cross-talk | "
      << (withStart ? "start (e / c / b) | " : "") << "exposure | contrast | brightness | exposure at edge | before "
         "| after | after / before | mean dE | max dE | correction | corrected mean dE | corrected max dE | clipped "
         "| acquisitions | score |\n"
      << "|---|---|---|---|---|---|" << (withTilt ? "---|---|---|" : "") << (withStart ? "---|" : "")
      << "---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  for (const PoseMeasurement& m : measurements) writePoseRow(out, m, withStart, withTilt);

  out << "\n## Summary\n\n"
      << "| cross-talk | poses | failed | worst after / before | at exposure edge | mean dE: mean, max | max dE: "
         "mean, max | corrected mean dE: mean, max | corrected max dE: mean, max | poses with clipped patches |\n"
      << "|---|---|---|---|---|---|---|---|---|---|\n";
  for (const SweepSummary& s : summarize(measurements))
    out << "| " << format("%g", s.crossTalk) << " | " << s.poses << " | " << s.failed << " | "
        << planes(s.worstRatio, "%.3f") << " | " << s.atExposureEdge << " | " << format("%.2f", s.meanOfMeanDeltaE)
        << ", " << format("%.2f", s.maxOfMeanDeltaE) << " | " << format("%.2f", s.meanOfMaxDeltaE) << ", "
        << format("%.2f", s.maxOfMaxDeltaE) << " | " << format("%.2f", s.corrected.meanOfMean) << ", "
        << format("%.2f", s.corrected.maxOfMean) << " | " << format("%.2f", s.corrected.meanOfMax) << ", "
        << format("%.2f", s.corrected.maxOfMax) << " | " << s.posesWithClippedPatches << " |\n";

  out << "\n## Goals\n\n| goal | poses that miss it | met |\n|---|---|---|\n";
  for (const GoalVerdict& v : judgeGoals(measurements))
    out << "| " << v.goal << " | " << v.missed << " | " << (v.missed == 0 ? "yes" : "**no**") << " |\n";
}

nlohmann::json sweepJson(const std::vector<PoseMeasurement>& measurements) {
  nlohmann::json poses = nlohmann::json::array(), summaries = nlohmann::json::array(),
                 goals = nlohmann::json::array();
  const bool withTilt = anyTilt(measurements);
  for (const PoseMeasurement& m : measurements) {
    const SweepCase& c = m.sweepCase;
    nlohmann::json row = {{"pose", c.pose},
                          {"x", *c.placement.x},
                          {"y", *c.placement.y},
                          {"rotation", c.placement.rotation},
                          {"scale", c.placement.scale},
                          {"crossTalk", c.crossTalk},
                          {"shading", c.shading}};
    if (withTilt) row.update({{"tilt", c.placement.tilt}, {"tiltAxis", c.placement.tiltAxis}});
    if (c.start)
      row["start"] = {
          {"exposure", c.start->exposure()}, {"contrast", c.start->contrast()}, {"brightness", c.start->brightness()}};
    if (!m.failure.empty()) {
      row["failure"] = m.failure;
    } else {
      row.update({{"exposure", m.exposure},
                  {"contrast", m.contrast},
                  {"brightness", m.brightness},
                  {"atExposureEdge", m.atExposureEdge},
                  {"acquisitions", m.acquisitions},
                  {"cameraSeconds", m.cameraSeconds},
                  {"before", m.before},
                  {"after", m.after},
                  {"meanDeltaE", m.meanDeltaE},
                  {"maxDeltaE", m.maxDeltaE},
                  {"correction", m.correction},
                  {"correctedMeanDeltaE", m.correctedMeanDeltaE},
                  {"correctedMaxDeltaE", m.correctedMaxDeltaE},
                  {"untiltedCorrectedMeanDeltaE", m.untiltedCorrectedMeanDeltaE ? nlohmann::json(*m.untiltedCorrectedMeanDeltaE)
                                                                              : nlohmann::json()},
                  {"clippedPatches", m.clippedPatches},
                  {"score", m.score ? nlohmann::json(*m.score) : nlohmann::json()}});
    }
    poses.push_back(row);
  }
  for (const SweepSummary& s : summarize(measurements))
    summaries.push_back({{"crossTalk", s.crossTalk},
                         {"poses", s.poses},
                         {"failed", s.failed},
                         {"worstAfterOverBefore", s.worstRatio},
                         {"atExposureEdge", s.atExposureEdge},
                         {"meanOfMeanDeltaE", s.meanOfMeanDeltaE},
                         {"maxOfMeanDeltaE", s.maxOfMeanDeltaE},
                         {"meanOfMaxDeltaE", s.meanOfMaxDeltaE},
                         {"maxOfMaxDeltaE", s.maxOfMaxDeltaE},
                         {"correctedMeanOfMeanDeltaE", s.corrected.meanOfMean},
                         {"correctedMaxOfMeanDeltaE", s.corrected.maxOfMean},
                         {"correctedMeanOfMaxDeltaE", s.corrected.meanOfMax},
                         {"correctedMaxOfMaxDeltaE", s.corrected.maxOfMax},
                         {"posesWithClippedPatches", s.posesWithClippedPatches}});
  for (const GoalVerdict& v : judgeGoals(measurements))
    goals.push_back({{"goal", v.goal}, {"missed", v.missed}, {"met", v.missed == 0}});
  return {{"poses", poses}, {"summary", summaries}, {"goals", goals}};
}
