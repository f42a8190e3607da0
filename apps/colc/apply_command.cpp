#include "apply_command.h"

#include <cstring>

#include "app/camera_calibration.h"
#include "app/exit_status.h"
#include "app/files.h"
#include "max_pels_option.h"
#include "app/output_checks.h"

namespace {

// True when the three planes are the same pels: a grey file read as colour.
bool holdsNoColour(const kc3PlanePelBuffer& image) {
  const kcPelRect& w = image.window();
  const auto width = static_cast<std::size_t>(w.width());
  for (long y = w.top; y < w.bottom; ++y) {
    const unsigned char* red = image.plane0().pointToRow(y);
    if (std::memcmp(red, image.plane1().pointToRow(y), width) != 0 ||
        std::memcmp(red, image.plane2().pointToRow(y), width) != 0)
      return false;
  }
  return true;
}

}  // namespace

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
  const kc3PlanePelBuffer input = readColorImage(o.input);
  // A calibration corrects a colour camera's planes apart: applied to a
  // grey image it would tint it, which nobody wants.
  if (holdsNoColour(input))
    throw CommandFailure(ExitStatus::imagesRefused,
                         "'" + o.input + "' is a grey image (its red, green and blue are the same): a colour "
                         "calibration corrects colour images only");
  writeImage(o.output, applyCalibration(calibration, input));
}
