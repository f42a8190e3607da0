// "colc compare": whether two images show a target in the same colours,
// such as two cameras' pictures of one chart: CIEDE2000 between them over
// the target's flat regions, and each against the target's reference.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct CompareOptions {
  std::string first;
  std::string second;
  std::string reference;  // empty: the built-in target
  bool json = false;
};

CLI::App* addCompareCommand(CLI::App& app, CompareOptions& options);
void runCompare(const CompareOptions& options, std::ostream& out);
