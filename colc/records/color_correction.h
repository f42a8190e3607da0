// A cross-plane colour correction: every output plane an affine function
// of all three input planes, out = M * in + offset, applied either to the
// encoded 8-bit values or to the linear light they encode (sRGB curve).
// Per-plane pel maps cannot undo light leaking between planes; this can.
#pragma once

#include <array>

#include "colc/host/imaging.h"
#include "colc/host/persist.h"
#include "colc/records/interleaved_pels.h"

class kcColorCorrection {
 public:
  // Where the transform works: on encoded values (0..255 scaled to 0..1)
  // or on the linear light they stand for.
  enum class Domain : unsigned char { encoded = 0, linear = 1 };

  // Row k: the coefficients of planes 0, 1, 2 and the offset of output
  // plane k, on values scaled to 0..1.
  using Coefficients = std::array<std::array<double, 4>, 3>;

  // The name an archive stores the record under.
  static constexpr const char* kClassName = "kcColorCorrection";

  // The identity in the encoded domain.
  kcColorCorrection();
  // Throws BadParams for a coefficient that is not finite.
  kcColorCorrection(Domain domain, const Coefficients& coefficients);

  Domain domain() const { return domain_; }
  const Coefficients& coefficients() const { return coefficients_; }

  bool operator==(const kcColorCorrection& other) const {
    return domain_ == other.domain_ && coefficients_ == other.coefficients_;
  }
  bool operator!=(const kcColorCorrection& other) const { return !(*this == other); }

  // One colour, each plane on 0..1, corrected but not clamped: what lies
  // beyond 0..1 is kept, so that a table sampled from it and interpolated
  // clips where the image correction clips.
  std::array<double, 3> apply(const std::array<double, 3>& colour) const;

  // A new colour image: every pel corrected, clamped to 0..1 and rounded
  // to the nearest level, in single precision through tables: a pel may
  // lie 1 level off the exactly rounded one (never more, for coefficients
  // whose absolute values sum to at most 32 in each row), where the exact
  // value lies within a few hundredths of a level of halfway between two
  // levels.
  kc3PlanePelBuffer apply(const kc3PlanePelBuffer& image) const;
  // The same into out, an image of the same size: the image itself
  // (corrected in place) or pels apart from it; an unbound out gets new
  // pels. Throws kcBadPointer for an unbound image, BadParams for sizes
  // that differ or an out that shares some of the image's pels.
  void apply(const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out) const;
  // The same for interleaved pels: out is the image itself or lies apart
  // from it. Throws BadParams as above, and for an image without pels or
  // an out with two planes on one byte.
  void apply(const kcInterleavedPels<const unsigned char>& image, const kcInterleavedPels<unsigned char>& out) const;

 private:
  friend kcArchive& kfArchiveAfterClassName(kcArchive& ar, kcColorCorrection& correction);

  Domain domain_;
  Coefficients coefficients_;
};

// The record's layout: its class name "kcColorCorrection" (a string), a
// version byte 0, the domain byte (0 or 1) and the twelve coefficients,
// row by row. Reading refuses another class name or domain, and a
// coefficient that is not finite, with kcArchive::BadData; another version
// with kcArchive::UnknownVersion naming the class and line 0. A failed read
// leaves the record as it was.
kcArchive& operator||(kcArchive& ar, kcColorCorrection& correction);
// The same record after its class name, for a reader that read the name
// to learn which record follows.
kcArchive& kfArchiveAfterClassName(kcArchive& ar, kcColorCorrection& correction);
