// The colour correction of 8-bit pels run by run, through tables and
// vectors instead of a power function per pel. The arithmetic is the
// record's own, in double precision and in the same order, so that:
// - in the encoded domain every pel comes out exactly as the per-pel
//   computation gives it;
// - in the linear domain the decoding is the same table and the sum the
//   same bits; only the sRGB encoding is looked up in a table of
//   kEncodingSteps + 1 steps over 0..1. A step moves the encoded level by
//   at most 255 x 12.92 / kEncodingSteps (0.20 levels: the curve is steepest
//   at its straight foot), half a step at most when rounded to the nearest,
//   so a pel differs from the per-pel computation by 1 level at most, and
//   only where that lies within 0.1 level of a rounding boundary (over
//   every 8-bit colour through a fitted correction, 3 samples in 1000).
// Every vector width gives the same bits.
#pragma once

#include <array>

#include "colc/records/color_correction.h"
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
  static constexpr int kEncodingSteps = 1 << 14;

  explicit kcCorrectionRows(const kcColorCorrection& correction, kcVectorWidth width = kfWidestVectors());

  // Corrects n pels of in into out. out may be in itself or lie apart
  // from it, but must not share pels with it otherwise.
  void operator()(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out, long n) const;

 private:
  // Pel i alone, as the vectors correct it.
  void pel(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out, long i) const;

  kcColorCorrection::Coefficients coefficients_;
  bool linear_;
  const double* decoded_;
  const unsigned char* encoded_;
  kcVectorWidth width_;
};
