#include "target_command.h"

#include "exit_status.h"
#include "files.h"
#include "host/acq/sim/target_chart.h"

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& o) {
  CLI::App* c =
      app.add_subcommand("target", "write the built-in target as an image, to print or to use as --reference");
  c->add_option("output", o.output, "the image file; .png, .tif, .bmp or .jpg")->required();
  c->add_option("--width", o.width, "its width in pels; the height is two thirds of it")
      ->capture_default_str()
      ->check(CLI::Range(kMinTargetWidth, kMaxTargetWidth));
  return c;
}

void checkTargetWidth(long width) {
  if (width < kMinTargetWidth || width > kMaxTargetWidth)
    throw CommandFailure(ExitStatus::usage, "the target's width must be " + std::to_string(kMinTargetWidth) +
                                                " to " + std::to_string(kMaxTargetWidth) + " pels, not " +
                                                std::to_string(width));
}

void runTarget(const TargetOptions& o) {
  checkOutputFile(o.output, "image file");  // before the work of drawing a large chart
  writeImage(o.output, kfSimTargetChart(o.width));
}
