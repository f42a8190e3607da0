// --restore-timeout, an option of every command that opens a camera and
// puts it back as found.
#pragma once

#include <CLI/CLI.hpp>

void addRestoreTimeoutOption(CLI::App& command, double& seconds);
