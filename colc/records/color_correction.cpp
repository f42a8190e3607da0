#include "colc/records/color_correction.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "colc/host/exceptions.h"
#include "colc/records/errors.h"
#include "colc/records/srgb_levels.h"

namespace {

constexpr const char* kClassName = "kcColorCorrection";

constexpr kcColorCorrection::Coefficients kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

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
  const long width = image.width(), height = image.height();
  kcPelBuffer<unsigned char> planes[3] = {{width, height}, {width, height}, {width, height}};
  const std::array<double, 256>& decoded = kfSrgbLevelsToLinear();
  const bool linear = domain_ == Domain::linear;
  for (long y = 0; y < height; ++y) {
    const unsigned char* in[3];
    unsigned char* out[3];
    for (int k = 0; k < 3; ++k) {
      in[k] = image.pelPlane(k).pointToRow(image.window().top + y);
      out[k] = planes[k].pointToRow(y);
    }
    for (long x = 0; x < width; ++x) {
      std::array<double, 3> colour;
      for (std::size_t k = 0; k < 3; ++k) colour[k] = linear ? decoded[in[k][x]] : in[k][x] / 255.0;
      for (std::size_t k = 0; k < 3; ++k) {
        const auto& row = coefficients_[k];
        const double v = row[0] * colour[0] + row[1] * colour[1] + row[2] * colour[2] + row[3];
        const double encoded = linear ? kfLinearToSrgb(std::clamp(v, 0.0, 1.0)) : std::clamp(v, 0.0, 1.0);
        out[k][x] = static_cast<unsigned char>(std::lround(255.0 * encoded));
      }
    }
  }
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

kcArchive& operator||(kcArchive& ar, kcColorCorrection& correction) {
  std::string className = kClassName;
  ar || className;
  if (ar.isReading() && className != kClassName)
    throw kcArchive::BadData("a '" + className + "' where a " + kClassName + " was expected");
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
