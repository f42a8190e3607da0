#include "colc/records/color_correction.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "colc/host/exceptions.h"
#include "colc/records/errors.h"
#include "colc/records/internal/pel_rows.h"
#include "colc/records/srgb_levels.h"

namespace {

constexpr const char* kClassName = kcColorCorrection::kClassName;

constexpr kcColorCorrection::Coefficients kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

void correctRows(const kcColorCorrection& correction, const kcPelRows<const unsigned char>& in,
                 const kcPelRows<unsigned char>& out) {
  kfCheckInPlaceOrApart(in, out);
  const kcCorrectionRows correct(correction);
  for (long y = 0; y < in.height; ++y) correct(in.row(y), out.row(y), in.width);
}

}  // namespace

kcColorCorrection::kcColorCorrection() : domain_(Domain::encoded), coefficients_(kIdentity) {}

kcColorCorrection::kcColorCorrection(Domain domain, const Coefficients& coefficients)
    : domain_(domain), coefficients_(coefficients) {
  for (const auto& row : coefficients_)
    for (double c : row)
      if (!std::isfinite(c))
        throw kcColorCalibrationDefs::BadParams("a colour correction coefficient that is not finite");
}

std::array<double, 3> kcColorCorrection::apply(const std::array<double, 3>& colour) const {
  const bool linear = domain_ == Domain::linear;
  std::array<double, 3> in = colour;
  if (linear)
    for (double& v : in) v = kfSrgbToLinear(v);
  std::array<double, 3> out{};
  for (std::size_t k = 0; k < 3; ++k) {
    const auto& row = coefficients_[k];
    const double v = row[0] * in[0] + row[1] * in[1] + row[2] * in[2] + row[3];
    // The sRGB curve continues beyond 0..1 (its straight foot below 0, its
    // power above 1), so that the result stays smooth across the clip.
    out[k] = linear ? kfLinearToSrgb(v) : v;
  }
  return out;
}

kc3PlanePelBuffer kcColorCorrection::apply(const kc3PlanePelBuffer& image) const {
  kc3PlanePelBuffer out;
  apply(image, out);
  return out;
}

void kcColorCorrection::apply(const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out) const {
  const kcPelRows<const unsigned char> in = kfPelRowsOf(image, "the image");
  if (!out.isBound()) {
    const long width = image.width(), height = image.height();
    out = kc3PlanePelBuffer({width, height}, {width, height}, {width, height});
  }
  correctRows(*this, in, kfWritablePelRowsOf(out, "the output"));
}

void kcColorCorrection::apply(const kcInterleavedPels<const unsigned char>& image,
                              const kcInterleavedPels<unsigned char>& out) const {
  correctRows(*this, kfPelRowsOf(image, "the image"), kfWritablePelRowsOf(out, "the output"));
}

kcArchive& operator||(kcArchive& ar, kcColorCorrection& correction) {
  std::string className = kClassName;
  ar || className;
  if (ar.isReading() && className != kClassName)
    throw kcArchive::BadData("a '" + className + "' where a " + kClassName + " was expected");
  return kfArchiveAfterClassName(ar, correction);
}

kcArchive& kfArchiveAfterClassName(kcArchive& ar, kcColorCorrection& correction) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw kcArchive::UnknownVersion(kClassName, 0);

  // Read into a copy first: a truncated or corrupt record leaves the caller's as it was.
  kcColorCorrection staged = correction;
  auto domain = static_cast<unsigned char>(staged.domain_);
  ar || domain;
  if (ar.isReading() && domain > static_cast<unsigned char>(kcColorCorrection::Domain::linear))
    throw kcArchive::BadData("a colour correction in an unknown domain " + std::to_string(domain));
  staged.domain_ = static_cast<kcColorCorrection::Domain>(domain);
  for (auto& row : staged.coefficients_)
    for (double& c : row) {
      ar || c;
      if (ar.isReading() && !std::isfinite(c))
        throw kcArchive::BadData("a colour correction coefficient that is not finite");
    }
  if (ar.isReading()) correction = staged;
  return ar;
}
