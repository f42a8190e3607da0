// colc: the colour-balance fit from the command line. Without arguments it
// runs the demonstration; "colc fit" fits one colour image file onto another.
#include <CLI/CLI.hpp>
#include <iostream>

#include "colc/records/errors.h"
#include "demo.h"
#include "fit_command.h"

int main(int argc, char** argv) {
  CLI::App app{"colc: colour calibration of machine-vision cameras"};
  app.require_subcommand(0, 1);

  std::string demoImages;
  CLI::App* demo = app.add_subcommand("demo", "fit a simulated camera image of a colour chart onto its reference");
  demo->add_option("--save", demoImages, "also write reference.png, camera.png and mask.png into this folder");

  FitOptions fit;
  CLI::App* fitCommand = app.add_subcommand("fit", "fit a colour image (camera) onto a reference image");
  fitCommand->add_option("source", fit.source, "the camera image")->required()->check(CLI::ExistingFile);
  fitCommand->add_option("destination", fit.destination, "the reference image")->required()->check(CLI::ExistingFile);
  fitCommand->add_option("--mask", fit.mask, "grey image: 255 where pels count, 0 where not")->check(CLI::ExistingFile);
  fitCommand->add_flag("--json", fit.json, "print one JSON object with an array \"channels\"");

  CLI11_PARSE(app, argc, argv);
  try {
    if (fitCommand->parsed()) {
      runFit(fit, std::cout);
      return 0;
    }
    return runDemo(std::cout, demoImages);
  } catch (const kcColorCalibrationDefs::BadImages&) {
    std::cerr << "colc: the images cannot be fitted: no pel is unsaturated in both, the windows do not overlap,\n"
                 "or the mask holds values other than 0 and 255 or does not cover the images\n";
  } catch (const std::exception& e) {
    std::cerr << "colc: " << e.what() << "\n";
  }
  return 1;
}
