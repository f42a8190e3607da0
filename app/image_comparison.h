// Whether two images show a target in the same colours: two cameras'
// pictures of one chart, say. Each image's view of the target is found and
// sampled onto the reference's grid, and the images are compared region by
// region over the reference's flat regions, as the colour error compares a
// view with the reference.
#pragma once

#include "app/colour_error.h"
#include "colc/host/imaging.h"

struct ImageComparison {
  ColourError between;     // the first image's regions against the second's
  ColourError first;       // the first image against the reference
  ColourError second;      // the second image against the reference
};

// Throws kcTargetNotFound when the reference is not found in an image.
ImageComparison compareOnTarget(const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second,
                                const kc3PlanePelBuffer& reference);
