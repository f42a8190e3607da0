#include "fit_command.h"

#include "channel_report.h"
#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "exit_status.h"
#include "files.h"
#include "image_limit.h"

CLI::App* addFitCommand(CLI::App& app, FitOptions& o) {
  CLI::App* c = app.add_subcommand("fit", "fit a colour image (camera) onto a reference image of the same scene");
  c->add_option("source", o.source, "the camera image")->required();
  c->add_option("destination", o.destination, "the reference image")->required();
  c->add_option("--mask", o.mask, "grey image: 255 where pels count, 0 where not");
  c->add_flag("--json", o.json, "print one JSON object with an array \"channels\"");
  addMaxPelsOption(*c);
  return c;
}

void runFit(const FitOptions& options, std::ostream& out) {
  const kc3PlanePelBuffer source = readColorImage(options.source);
  const kc3PlanePelBuffer destination = readColorImage(options.destination);
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
