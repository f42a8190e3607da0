#include "apply_command.h"

#include "colc/balance/color_correction_fit.h"
#include "files.h"
#include "image_limit.h"
#include "output_checks.h"

CLI::App* addApplyCommand(CLI::App& app, ApplyOptions& o) {
  CLI::App* c = app.add_subcommand(
      "apply", "correct an image file through a stored result: its colour correction, or else its pel maps");
  c->add_option("result", o.result, "the result archive (colc calibrate --out)")->required();
  c->add_option("input", o.input, "the colour image to correct")->required();
  c->add_option("output", o.output, "the corrected image; .png, .tif, .bmp or .jpg")->required();
  addMaxPelsOption(*c);
  return c;
}

void runApply(const ApplyOptions& o) {
  checkOutputFile(o.output, "image file");
  checkNotAnInput(o.output, {{"the result archive", o.result}, {"the input image", o.input}});
  const StoredCalibration calibration = readResultArchive(o.result);
  writeImage(o.output,
             kfCorrectImage(calibration.result, calibration.correctionOrNull(), readColorImage(o.input)));
}
