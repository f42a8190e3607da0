// --max-pels, an option of every command that reads images (app/image_limit.h).
#pragma once

#include <CLI/CLI.hpp>

void addMaxPelsOption(CLI::App& command);
