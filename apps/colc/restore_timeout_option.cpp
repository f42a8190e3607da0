#include "restore_timeout_option.h"

#include "number_options.h"

void addRestoreTimeoutOption(CLI::App& command, double& seconds) {
  command
      .add_option("--restore-timeout", seconds,
                  "how long to keep asking a camera that stopped answering, to put it back, in seconds")
      ->type_name("S")
      ->capture_default_str()
      ->check(finiteNumberAtLeast(0));
}
