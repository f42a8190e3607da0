#include "max_pels_option.h"

#include "app/image_limit.h"
#include "host/imaging/image_file.h"
#include "number_options.h"

void addMaxPelsOption(CLI::App& command) {
  command
      .add_option_function<unsigned long>(
          "--max-pels", [](unsigned long pels) { setMaxImagePels(pels); },
          "refuse images of more pels than this (default " + std::to_string(kDefaultMaxImagePels) + ")")
      ->type_name("N")
      ->check(wholeNumberAtLeast(1));
}
