// The largest image colc decodes, in pels: 50 megapels unless --max-pels,
// an option of every command that reads images, says otherwise. Larger
// images are refused from their header, before they cost memory.
#pragma once

#include <CLI/CLI.hpp>

void addMaxPelsOption(CLI::App& command);
unsigned long maxImagePels();
