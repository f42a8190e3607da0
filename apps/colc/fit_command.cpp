#include "fit_command.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/calibration_summary.h"
#include "channel_report.h"
#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "colc/tool/target_pose.h"
#include "app/exit_status.h"
#include "app/files.h"
#include "max_pels_option.h"
#include "named_charts.h"
#include "app/calibration_context.h"
#include "app/output_checks.h"
#include "app/photo_fit.h"
#include "app/presentation.h"

namespace {

// A chart colc draws has no pel size of its own: for a photo it is drawn
// kPhotoChartShare of the photo's longer side wide and looked for from
// kPhotoChartLeast of that size up, so that any chart from a tenth of the
// photo's longer side to all of it is found.
constexpr double kPhotoChartShare = 0.4;
constexpr double kPhotoChartLeast = 0.25;

// Pel-for-pel fits pair pel (x, y) of one image with pel (x, y) of the
// other: images of different sizes cannot be views of the same scene so.
void checkSameSize(const kc3PlanePelBuffer& source, const kc3PlanePelBuffer& destination) {
  if (source.width() == destination.width() && source.height() == destination.height()) return;
  throw CommandFailure(ExitStatus::imagesRefused,
                       "the images differ in size (" + sizeText(source) + " and " + sizeText(destination) +
                           "): colc fit pairs their pels place for place; to find the target in a photograph of "
                           "it, add --find-target");
}

void runPelForPelFit(const FitOptions& options, const kc3PlanePelBuffer& source,
                     const kc3PlanePelBuffer& destination, std::ostream& out) {
  checkSameSize(source, destination);
  const kcPelBuffer_const<unsigned char> mask =
      options.mask.empty() ? kcPelBuffer_const<unsigned char>() : readGreyImage(options.mask);
  kcColorCalibrationResultInternal result;
  try {
    kfComputeColorCalibration(source, mask, destination, result, nullptr, 0);
  } catch (const kcColorCalibrationDefs::BadImages&) {
    throw CommandFailure(ExitStatus::imagesRefused,
                         "the fit cannot use the images: they share no pels that are unsaturated in both, or the "
                         "mask holds values other than 0 and 255 or does not cover them");
  }
  if (options.json)
    printChannelsJson(out, result);
  else
    printChannelsText(out, result);
}

void printPhotoFitText(std::ostream& out, const PhotoFit& fit) {
  printTargetText(out, fit.target);
  out << "\n";
  printChannelsText(out, fit.fits);
  out << "\n";
  printColourErrorText(out, fit.colour);
  out << "\n"
      << (fit.helped ? "The calibration lowers the photo's colour error.\n"
                     : "The calibration did not help: it does not lower the photo's colour error.\n");
}

void printPhotoFitJson(std::ostream& out, const PhotoFit& fit) {
  const nlohmann::ordered_json summary = {{"target", targetJson(fit.target)},
                                          {"channels", channelsJson(fit.fits)},
                                          {"colourError", colourErrorJson(fit.colour)},
                                          {"helped", fit.helped}};
  out << summary.dump(2) << "\n";
}

void runPhotoFit(const FitOptions& options, const kc3PlanePelBuffer& photo, const kc3PlanePelBuffer& reference,
                 const kcTargetSearchParams& search, std::ostream& out) {
  PhotoFit fit;
  try {
    fit = fitPhoto(photo, reference, !options.noColorCorrection, search);
  } catch (const kcTargetNotFound& e) {
    throw CommandFailure(ExitStatus::targetNotFound, "the target is not found in the photo: " + e.text());
  }
  // A calibration that makes the photo's colours worse is not stored: a
  // file that exists would be taken for a usable one.
  if (fit.helped && !options.out.empty())
    writeResultArchive(options.out, {fit.result, fit.colour.correction,
                                     photoContext(std::filesystem::path(options.source).filename().string(),
                                                  reference, fit.colour.corrected)});
  if (options.json)
    printPhotoFitJson(out, fit);
  else
    printPhotoFitText(out, fit);
  if (!fit.helped)
    throw CommandFailure(ExitStatus::didNotHelp,
                         "the calibration does not lower the photo's colour error" +
                             std::string(options.out.empty() ? "" : "; '" + options.out + "' was not written"));
}

}  // namespace

CLI::App* addFitCommand(CLI::App& app, FitOptions& o) {
  CLI::App* c = app.add_subcommand("fit", "fit a colour image (camera) onto a reference image of the same scene, or "
                                          "calibrate from a photograph of the target (--find-target)");
  c->add_option("source", o.source, "the camera image, or the photograph of the target")->required();
  c->add_option("destination", o.destination, "the reference image (or give it by --reference)");
  c->add_option("--reference", o.reference,
                "the reference image; with --find-target also a chart colc draws: chart:colc (the built-in target) "
                "or chart:24-patch (the common 24-patch chart)")
      ->type_name("FILE|chart:NAME")
      ->excludes("destination");
  CLI::Option* findTarget = c->add_flag(
      "--find-target", o.findTarget,
      "find the target in the photograph (any quarter turn, scales 0.4 to 2.5 of the reference, tilts up to about 30 "
      "degrees), then fit its view and choose a colour correction as colc calibrate does");
  c->add_option("--mask", o.mask, "grey image: 255 where pels count, 0 where not")->excludes(findTarget);
  c->add_flag("--no-color-correction", o.noColorCorrection, "keep to the per-plane pel maps")->needs(findTarget);
  c->add_option("--out", o.out,
                "store the calibration in this archive file (for colc apply, export and show); not written when it "
                "does not lower the photo's colour error")
      ->type_name("FILE")
      ->needs(findTarget);
  c->add_flag("--json", o.json, "print one JSON object");
  addMaxPelsOption(*c);
  return c;
}

void runFit(const FitOptions& options, std::ostream& out) {
  const std::string& referencePath = options.reference.empty() ? options.destination : options.reference;
  if (referencePath.empty()) throw CommandFailure(ExitStatus::usage, "fit: the reference image is needed");
  if (!options.out.empty()) {
    checkOutputFile(options.out, "archive");
    checkNotAnInput(options.out, {{"the photo", options.source}, {"the reference image", referencePath}});
  }
  const kc3PlanePelBuffer source = readColorImage(options.source);
  if (options.findTarget) {
    kcTargetSearchParams search;
    if (namesChart(referencePath)) search.minScale = kPhotoChartLeast;
    const long chartWidth = std::lround(kPhotoChartShare * std::max(source.width(), source.height()));
    runPhotoFit(options, source, readReference(referencePath, chartWidth), search, out);
  } else {
    runPelForPelFit(options, source, readColorImage(referencePath), out);
  }
}
