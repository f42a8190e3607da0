// The charts colc draws itself: its own target and the common 24-patch
// chart that many users already own. "colc target --chart NAME" writes one;
// wherever an option takes a reference image, "chart:NAME" stands for it.
#pragma once

#include <string>
#include <vector>

#include "colc/host/imaging.h"
#include "host/acq/sim/target_chart.h"

struct NamedChart {
  std::string name;
  std::string description;  // as a summary names it
  kc3PlanePelBuffer (*draw)(long width);
};

// colc's own target first: the default.
const std::vector<NamedChart>& namedCharts();
std::vector<std::string> namedChartNames();

// The chart of that name; CommandFailure usage naming the charts there are
// for any other name.
const NamedChart& namedChart(const std::string& name);

// The reference image an option names: "chart:NAME" draws that chart
// chartWidth pels wide, an empty option colc's own target, and anything
// else is read as an image file (a file whose name begins with "chart:" is
// reached as "./chart:...").
kc3PlanePelBuffer readReference(const std::string& option, long chartWidth = kSimTargetChartWidth);
// Whether the option names a chart colc draws rather than a file.
bool namesChart(const std::string& option);
// How a summary names that reference: "the built-in target", "the common
// 24-patch chart", "'chart.png'".
std::string referenceName(const std::string& option);
