// "colc show": prints what a result or parameter archive holds.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct ShowOptions {
  std::string archive;
  bool json = false;
};

CLI::App* addShowCommand(CLI::App& app, ShowOptions& options);
void runShow(const ShowOptions& options, std::ostream& out);
