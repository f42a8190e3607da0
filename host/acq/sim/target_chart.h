// The built-in calibration target: a card of 24 colour patches (a neutral
// ramp from near-black to near-white, saturated primaries and secondaries,
// pale and dark colours) in a 6 x 4 grid, framed by a white border with
// three different corner marks that fix its position and orientation.
#pragma once

#include "colc/host/imaging.h"

// The chart as an sRGB colour image of width x (2/3 width) pels, planes
// red, green, blue. kcBadArgument for a width below 96.
kc3PlanePelBuffer kfSimTargetChart(long width = 960);
