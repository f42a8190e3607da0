// The common 24-patch colour chart that many users already own: 4 rows of 6
// painted patches (natural colours, primaries and secondaries, a neutral
// ramp from white to black) on a matte black card. Its reference image is
// drawn from the chart's layout and the published sRGB values of its
// patches, so that a photograph of the chart can be found and compared
// with it.
#pragma once

#include <vector>

#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

// The height of the chart's reference image of the given width, which
// keeps the card's proportions. kcBadArgument for a width below 96.
long kfCommonChartHeight(long width);

// The chart as an sRGB colour image (planes red, green, blue) of width x
// kfCommonChartHeight(width) pels, landscape, dark skin top left. A patch's
// edge that falls inside a pel covers it in proportion, blended in light.
// kcBadArgument for a width below 96.
kc3PlanePelBuffer kfCommonChart(long width = 960);

// The centres of the 24 patches in that image, row by row from the top left
// (dark skin ... bluish green, ..., white ... black), in image coordinates
// where pel (x, y) covers [x, x + 1) x [y, y + 1). kcBadArgument for a
// width below 96.
std::vector<kcVector<2>> kfCommonChartPatchCentres(long width = 960);
