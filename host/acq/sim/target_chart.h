// The built-in calibration target: a card of 24 colour patches (a neutral
// ramp from near-black to near-white, saturated primaries and secondaries,
// pale and dark colours) in a 6 x 4 grid, framed by a white border with
// three different corner marks that fix its position and orientation.
#pragma once

#include <vector>

#include "colc/host/imaging.h"

// One colour patch of the chart: the pels x .. x + width - 1, y .. y +
// height - 1 of the chart image, all of one sRGB colour.
struct kcSimChartPatch {
  long x = 0;
  long y = 0;
  long width = 0;
  long height = 0;
  unsigned char red = 0;
  unsigned char green = 0;
  unsigned char blue = 0;
};

// The chart's width in pels unless asked for another.
constexpr long kSimTargetChartWidth = 960;

// The height of the chart of that width: 2/3 of it.
constexpr long kfSimTargetChartHeight(long width) { return width * 2 / 3; }

// The chart as an sRGB colour image of width x (2/3 width) pels, planes
// red, green, blue. kcBadArgument for a width below 96.
kc3PlanePelBuffer kfSimTargetChart(long width = kSimTargetChartWidth);

// The 24 patches of the chart of that width, row by row from the top left:
// what kfSimTargetChart(width) draws. kcBadArgument for a width below 96.
std::vector<kcSimChartPatch> kfSimTargetChartPatches(long width = kSimTargetChartWidth);
