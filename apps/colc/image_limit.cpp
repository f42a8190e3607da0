#include "image_limit.h"

#include "host/imaging/image_file.h"
#include "number_options.h"

namespace {

// One limit for the one command a run of colc executes.
unsigned long limit = kDefaultMaxImagePels;

}  // namespace

void addMaxPelsOption(CLI::App& command) {
  command
      .add_option_function<unsigned long>(
          "--max-pels", [](unsigned long pels) { limit = pels; },
          "refuse images of more pels than this (default " + std::to_string(kDefaultMaxImagePels) + ")")
      ->type_name("N")
      ->check(wholeNumberAtLeast(1));
}

unsigned long maxImagePels() { return limit; }
