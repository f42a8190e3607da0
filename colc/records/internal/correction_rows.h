// The colour correction of 8-bit pels run by run, through tables and
// single-precision vectors instead of a power function per pel
// (correction_arithmetic.h has the arithmetic). Every vector width, and the
// pels corrected one by one, give the same bits.
//
// A pel differs from the per-pel computation in double precision (the
// record's own: a power function to encode, rounding half away from 0) by
// at most 1 level, wherever each row of the correction has coefficients
// whose absolute values (offset included) sum to R <= 32. The unrounded
// level lies less than 1 level from the exact one, which rounds either way
// within 1 level:
// - a level decodes to a multiple of 1/65535, at most 0.5 / 65535 off its
//   light (none off in the encoded domain): at most 7.63e-6 R off the sum;
// - rounding the coefficients to floats, and each product, costs at most
//   2^-24 of a coefficient's share, each of the three sums at most 2^-24
//   of R: at most 5 x 2^-24 R = 3.0e-7 R more;
// - in the encoded domain that is at most 255 x 3.0e-7 R levels; in the
//   linear domain the curve's steepest part, its foot, makes at most
//   255 x 12.92 x 7.93e-6 R = 0.0261 R levels of it, and its cubics lie at
//   most 0.0025 levels from the curve: 0.84 levels at R = 32;
// - adding the half before truncating costs at most 2^-24 of 256 levels.
// Fitted corrections have R near 2: a pel then moves only where its exact
// level lies within 0.055 levels of halfway between two levels.
#pragma once

#include <array>

#include "colc/records/color_correction.h"
#include "colc/records/internal/correction_arithmetic.h"
#include "host/imaging/vector_width.h"

// Where a run of pels lies: plane k (red, green, blue) of pel i at
// plane[k][i * step].
template <class Pel>
struct kcPelRun {
  std::array<Pel*, 3> plane;
  long step;
};

class kcCorrectionRows {
 public:
  explicit kcCorrectionRows(const kcColorCorrection& correction, kcVectorWidth width = kfWidestVectors());

  // Corrects n pels of in into out. out may be in itself or lie apart
  // from it, but must not share pels with it otherwise.
  void operator()(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out, long n) const;

 private:
  kcCorrectionArithmetic arithmetic_;
  kcVectorWidth width_;
};
