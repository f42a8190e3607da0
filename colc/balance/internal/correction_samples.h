// The samples the colour correction's fits use: the view's and the
// reference's levels where a mask is set, read row by row.
#pragma once

#include <array>

#include "colc/balance/color_correction_fit.h"
#include "colc/records/errors.h"
#include "colc/records/srgb_levels.h"

using kcSampleLevels = std::array<unsigned char, 3>;

// No plane clipped: a clipped plane says nothing about the light beyond the clip.
inline bool kfUnclipped(const kcSampleLevels& levels) {
  for (unsigned char level : levels)
    if (level < kColorCorrectionLowestLevel || level > kColorCorrectionHighestLevel) return false;
  return true;
}

// A level as the correction in domain sees it, on 0..1.
inline double kfDomainValue(kcColorCorrection::Domain domain, unsigned char level) {
  return domain == kcColorCorrection::Domain::linear ? kfSrgbLevelsToLinear()[level] : level / 255.0;
}

// Calls visit(view levels, reference levels) for every pel where mask is
// non-zero, row by row. Throws BadParams for sizes that differ.
template <class Visit>
void kfForEachMaskedSample(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                           const kcPelBuffer_const<unsigned char>& mask, Visit visit) {
  const long width = view.width(), height = view.height();
  if (reference.width() != width || reference.height() != height || mask.width() != width ||
      mask.height() != height)
    throw kcColorCalibrationDefs::BadParams("the view, the reference and the mask differ in size");
  for (long y = 0; y < height; ++y) {
    const unsigned char* m = mask.pointToRow(mask.window().top + y);
    const unsigned char* v[3];
    const unsigned char* r[3];
    for (int k = 0; k < 3; ++k) {
      v[k] = view.pelPlane(k).pointToRow(view.window().top + y);
      r[k] = reference.pelPlane(k).pointToRow(reference.window().top + y);
    }
    for (long x = 0; x < width; ++x)
      if (m[x] != 0) visit(kcSampleLevels{v[0][x], v[1][x], v[2][x]}, kcSampleLevels{r[0][x], r[1][x], r[2][x]});
  }
}
