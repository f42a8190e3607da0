#include "target_command.h"

#include "files.h"
#include "host/acq/sim/target_chart.h"

CLI::App* addTargetCommand(CLI::App& app, TargetOptions& o) {
  CLI::App* c =
      app.add_subcommand("target", "write the built-in target as an image, to print or to use as --reference");
  c->add_option("output", o.output, "the image file; .png, .tif, .bmp or .jpg")->required();
  c->add_option("--width", o.width, "its width in pels; the height is two thirds of it")
      ->capture_default_str()
      ->check(CLI::Range(96L, 16384L));
  return c;
}

void runTarget(const TargetOptions& o) { writeImage(o.output, kfSimTargetChart(o.width)); }
