#include "calibration_summary.h"

#include <cstdarg>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

// The colour error rows: mean and max CIEDE2000 at the start, through the
// pel maps and, when one was adopted, through the colour correction.
void printColourErrorText(std::ostream& out, const ColourStage& colour);
nlohmann::ordered_json colourErrorJson(const ColourStage& colour);

constexpr const char* kPlaneNames[3] = {"red", "green", "blue"};

// One formatted line onto the stream.
void line(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void line(std::ostream& out, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  out << text << "\n";
}

}  // namespace

void printSummaryText(std::ostream& out, const CalibrationSetup& setup, const CalibrationRun& run) {
  const kcColorCalibrationResult& r = run.result;
  out << "Calibrated the " << setup.camera << " against " << setup.reference << "\n";
  line(out, "in %zu acquisitions, %.1f s.", run.acquisitions.size(), run.seconds);
  out << "\n";
  line(out, "%-14s %12s %12s", "", "start", "calibrated");
  line(out, "%-14s %12.6f %12.6f", "exposure", run.start.exposure(), r.exposure());
  line(out, "%-14s %12.6f %12.6f", "contrast", run.start.contrast(), r.contrast());
  line(out, "%-14s %12.6f %12.6f", "brightness", run.start.brightness(), r.brightness());
  line(out, "%-14s %25s", "input table", r.positive8BitLut() ? "positive (identity)" : "the camera's own");
  out << "\n";
  line(out, "%-14s %12s %12s %12s", "channel", "gain", "offset", "rmsError");
  for (std::size_t k = 0; k < r.channelResults().size() && k < 3; ++k) {
    const kcColorCalibrationChannelResult& c = r.channelResults()[k];
    // A negative RMS error marks a channel that was not fitted (--no-pel-mapping).
    if (c.rmsError() < 0)
      line(out, "%-14s %12.6f %12.6f %12s", kPlaneNames[k], c.gain(), c.offset(), "not fitted");
    else
      line(out, "%-14s %12.6f %12.6f %12.6f", kPlaneNames[k], c.gain(), c.offset(), c.rmsError());
  }
  out << "\n";
  line(out, "%-38s %8s %8s %8s", "mean absolute difference to reference", "red", "green", "blue");
  line(out, "%-38s %8.2f %8.2f %8.2f", "  at the start settings", run.before[0], run.before[1], run.before[2]);
  line(out, "%-38s %8.2f %8.2f %8.2f",
       run.colour.correction ? "  calibrated, colour correction" : "  calibrated, pel maps applied", run.after[0],
       run.after[1], run.after[2]);
  out << "\n";
  printColourErrorText(out, run.colour);
  out << "\n";
  if (run.verdict.helped) {
    out << "The calibration helped: every plane is clearly closer to the reference.\n";
  } else {
    out << "The calibration did not help:\n";
    for (const std::string& reason : run.verdict.reasons) out << "  - " << reason << "\n";
  }
}


void printSummaryJson(std::ostream& out, const CalibrationRun& run) {
  const kcColorCalibrationResult& r = run.result;
  nlohmann::ordered_json channels = nlohmann::ordered_json::array();
  for (const auto& c : r.channelResults())
    channels.push_back({{"gain", c.gain()}, {"offset", c.offset()}, {"rmsError", c.rmsError()}});
  const nlohmann::ordered_json summary = {{"exposure", r.exposure()},
                                          {"contrast", r.contrast()},
                                          {"brightness", r.brightness()},
                                          {"positive8BitLut", r.positive8BitLut()},
                                          {"acquisitions", run.acquisitions.size()},
                                          {"seconds", run.seconds},
                                          {"channels", channels},
                                          {"before", run.before},
                                          {"after", run.after},
                                          {"colourError", colourErrorJson(run.colour)},
                                          {"verdict",
                                           {{"helped", run.verdict.helped},
                                            {"reasons", run.verdict.reasons},
                                            {"clipped", run.clipped},
                                            {"exposureEdge", exposureEdgeName(run.exposureEdge)}}}};
  out << summary.dump(2) << "\n";
}

namespace {

void printColourErrorText(std::ostream& out, const ColourStage& colour) {
  line(out, "%-38s %8s %8s", "CIEDE2000 over the flat regions", "mean", "max");
  line(out, "%-38s %8.2f %8.2f", "  at the start settings", colour.start.mean, colour.start.max);
  line(out, "%-38s %8.2f %8.2f", "  calibrated, pel maps applied", colour.pelMaps.mean, colour.pelMaps.max);
  if (colour.correction)
    line(out, "%-38s %8.2f %8.2f", "  calibrated, colour correction", colour.corrected.mean, colour.corrected.max);
  else if (!colour.heldOut[0] && !colour.heldOut[1])
    out << "No colour correction was fitted.\n";
  else
    out << "No colour correction: on regions it was not fitted to, it did not lower the error.\n";
}

nlohmann::ordered_json colourErrorJson(const ColourStage& colour) {
  const auto pair = [](const ColourError& e) { return nlohmann::ordered_json{{"mean", e.mean}, {"max", e.max}}; };
  return {{"regions", colour.start.perRegion.size()},
          {"start", pair(colour.start)},
          {"pelMaps", pair(colour.pelMaps)},
          {"corrected", pair(colour.corrected)},
          {"colorCorrection", colorCorrectionJson(colour.correction)}};
}

}  // namespace
