#include "app/calibration_summary.h"

#include <nlohmann/json.hpp>

#include "colc/tool/target_pose.h"
#include "app/presentation.h"

void printSummaryText(std::ostream& out, const CalibrationSetup& setup, const CalibrationRun& run) {
  const kcColorCalibrationResult& r = run.result;
  out << "Calibrated the " << setup.camera << " against " << setup.reference << "\n";
  out << "by the " << searchName(run.search) << " search in " << run.acquisitions.size() << " acquisitions, "
      << timeText(run) << ".\n";
  if (run.target) printTargetText(out, *run.target);
  out << "\n";
  out << formatted("%-14s %12s %12s", "", "start", "calibrated") << "\n";
  out << formatted("%-14s %12.6f %12.6f", "exposure", run.start.exposure(), r.exposure()) << "\n";
  out << formatted("%-14s %12.6f %12.6f", "contrast", run.start.contrast(), r.contrast()) << "\n";
  out << formatted("%-14s %12.6f %12.6f", "brightness", run.start.brightness(), r.brightness()) << "\n";
  out << formatted("%-14s %25s", "input table", r.positive8BitLut() ? "positive (identity)" : "the camera's own")
      << "\n";
  out << "\n";
  out << formatted("%-14s %12s %12s %12s", "channel", "gain", "offset", "rmsError") << "\n";
  for (std::size_t k = 0; k < r.channelResults().size() && k < 3; ++k) {
    const kcColorCalibrationChannelResult& c = r.channelResults()[k];
    out << formatted("%-14s %12.6f %12.6f %12s", planeName(k).c_str(), c.gain(), c.offset(),
                     rmsErrorText(c.rmsError(), 6).c_str())
        << "\n";
  }
  out << "\n";
  out << formatted("%-38s %8s %8s %8s", "mean absolute difference to reference", "red", "green", "blue") << "\n";
  out << formatted("%-38s %8.2f %8.2f %8.2f\n", "  at the start settings", run.before[0], run.before[1],
                   run.before[2]);
  out << formatted("%-38s %8.2f %8.2f %8.2f\n",
                   run.colour.correction ? "  calibrated, colour correction" : "  calibrated, pel maps applied",
                   run.after[0], run.after[1], run.after[2]);
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


std::string timeText(const CalibrationRun& run) {
  std::string text = formatted("%.1f s computing", run.computingSeconds);
  if (run.simulationSeconds) text += formatted(" (and %.1f s simulating the camera)", *run.simulationSeconds);
  if (run.cameraSeconds)
    text += formatted(", %.1f s camera time (exposure plus read-out)", *run.cameraSeconds);
  else
    text += formatted(", %.1f s in all", run.seconds);  // a real camera's own time is in it
  return text;
}

void printSummaryJson(std::ostream& out, const CalibrationRun& run, const nlohmann::ordered_json& deployment) {
  const kcColorCalibrationResult& r = run.result;
  nlohmann::ordered_json channels = nlohmann::ordered_json::array();
  for (const auto& c : r.channelResults()) channels.push_back(channelJson(c));
  nlohmann::ordered_json summary = {{"exposure", r.exposure()},
                                          {"contrast", r.contrast()},
                                          {"brightness", r.brightness()},
                                          {"positive8BitLut", r.positive8BitLut()},
                                          {"search", searchName(run.search)},
                                          {"acquisitions", run.acquisitions.size()},
                                          {"seconds", run.seconds},
                                          {"computingSeconds", run.computingSeconds},
                                          {"cameraSeconds",
                                           run.cameraSeconds ? nlohmann::ordered_json(*run.cameraSeconds)
                                                             : nlohmann::ordered_json()},
                                          {"simulationSeconds",
                                           run.simulationSeconds ? nlohmann::ordered_json(*run.simulationSeconds)
                                                                 : nlohmann::ordered_json()},
                                          {"target", targetJson(run.target)},
                                          {"channels", channels},
                                          {"before", run.before},
                                          {"after", run.after},
                                          {"colourError", colourErrorJson(run.colour)},
                                          {"verdict",
                                           {{"helped", run.verdict.helped},
                                            {"reasons", run.verdict.reasons},
                                            {"clipped", run.clipped},
                                            {"exposureEdge", exposureEdgeName(run.exposureEdge)}}}};
  if (!deployment.is_null()) summary["deployment"] = deployment;
  out << summary.dump(2) << "\n";
}

void printTargetText(std::ostream& out, const kcTargetMatch& target) {
  out << "The target was " << kfTargetFindingText(target, {}) << ".\n";
  if (kfTargetMatchIsDoubtful(target))
    out << "Warning: the pose explains the view only moderately; check the target's placement and that the "
           "reference is its image.\n";
}

void printColourErrorText(std::ostream& out, const ColourStage& colour) {
  const auto row = [&out](const std::string& label, const ColourError& e) {
    out << formatted("%-38s %8.2f %8.2f\n", label.c_str(), e.mean, e.max);
  };
  out << formatted("%-38s %8s %8s\n", "CIEDE2000 over the flat regions", "mean", "max");
  row("  at the start settings", colour.start);
  row("  calibrated, pel maps applied", colour.pelMaps);
  if (colour.correction) row("  calibrated, colour correction", colour.corrected);
  const CorrectionChoice& choice = colour.choice;
  if (choice.heldOutPelMaps && choice.heldOutCorrection) {
    out << "  each region left out of the fit:\n";
    row("    pel maps", *choice.heldOutPelMaps);
    row(std::string("    colour correction, ") + domainName(choice.domain), *choice.heldOutCorrection);
  }
  out << correctionChoiceText(choice.outcome) << "\n";
  if (const std::string clipped = clippedRegionsText(colour.clipped, colour.start.perRegion.size()); !clipped.empty())
    out << clipped << "\n";
}

nlohmann::ordered_json targetJson(const std::optional<kcTargetMatch>& target) {
  if (!target) return nullptr;
  return {{"scale", target->scale},
          {"rotationDegrees", target->rotationDegrees},
          {"tiltDegrees", target->tiltDegrees},
          {"poseScore", target->score},
          {"doubtful", kfTargetMatchIsDoubtful(*target)}};
}

nlohmann::ordered_json colourErrorJson(const ColourStage& colour) {
  const auto pair = [](const ColourError& e) { return nlohmann::ordered_json{{"mean", e.mean}, {"max", e.max}}; };
  const auto heldOut = [&](const std::optional<ColourError>& e) { return e ? pair(*e) : nlohmann::ordered_json(); };
  const CorrectionChoice& choice = colour.choice;
  nlohmann::ordered_json correction = heldOut(choice.heldOutCorrection);
  if (choice.heldOutCorrection) correction["domain"] = domainName(choice.domain);
  return {{"regions", colour.start.perRegion.size()},
          {"start", pair(colour.start)},
          {"pelMaps", pair(colour.pelMaps)},
          {"corrected", pair(colour.corrected)},
          {"heldOut",
           {{"pelMaps", heldOut(choice.heldOutPelMaps)},
            {"colorCorrection", correction},
            {"chosen", colour.correction ? "colorCorrection" : "pelMaps"}}},
          {"clippedRegions",
           {{"dark", colour.clipped.dark}, {"bright", colour.clipped.bright}, {"total", colour.clipped.total}}},
          {"colorCorrection", colorCorrectionJson(colour.correction)}};
}

