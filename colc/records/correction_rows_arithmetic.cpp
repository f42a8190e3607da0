#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "colc/balance/internal/linear_solve.h"
#include "colc/records/internal/correction_arithmetic.h"
#include "colc/records/srgb_levels.h"

namespace {

using Domain = kcColorCorrection::Domain;

kcLevelDecoding decodingOf(Domain domain) {
  kcLevelDecoding d{};
  for (std::size_t v = 0; v < 256; ++v) {
    const double light = domain == Domain::linear ? kfSrgbLevelsToLinear()[v] : static_cast<double>(v) / 255.0;
    d.value[v] = static_cast<std::int32_t>(std::lround(65535.0 * light));
    d.low[v] = static_cast<std::uint8_t>(d.value[v] & 0xff);
    d.high[v] = static_cast<std::uint8_t>(d.value[v] >> 8);
  }
  return d;
}

float floatOfBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// The cubic through the curve at the four Chebyshev points of lo..hi,
// whose error stays near the least a cubic can have there. It is solved
// for in s / hi, where the powers' columns are alike in size.
std::array<double, 4> cubicThrough(double lo, double hi) {
  kcSquareMatrix<4> powers{};
  std::array<double, 4> levels{};
  for (std::size_t i = 0; i < 4; ++i) {
    const double s = (lo + hi) / 2 + (hi - lo) / 2 * std::cos(M_PI * (2.0 * static_cast<double>(i) + 1.0) / 8.0);
    double p = 1.0;
    for (std::size_t j = 0; j < 4; ++j, p *= s / hi) powers[i][j] = p;
    levels[i] = 255.0 * kfLinearToSrgb(s);
  }
  std::array<double, 4> cubic{};
  if (!kfSolveLinear(powers, levels, cubic)) throw std::logic_error("the sRGB curve's cubic has no solution");
  double scale = 1.0;
  for (double& c : cubic) {
    c /= scale;
    scale *= hi;
  }
  return cubic;
}

kcEncodingSegments segments() {
  using S = kcEncodingSegments;
  S segments{};
  for (std::uint32_t i = 0; i < S::kCount; ++i) {
    const double lo = i == 0 ? S::kFootEnd : floatOfBits((S::kFirst + i) << S::kShift);
    const double hi = std::min(1.0, static_cast<double>(floatOfBits((S::kFirst + i + 1) << S::kShift)));
    const std::array<double, 4> cubic = cubicThrough(lo, hi);
    for (std::size_t j = 0; j < 4; ++j) segments.cubic[j][i] = static_cast<float>(cubic[j]);
  }
  return segments;
}

// Each row's coefficients, scaled for the decoded numbers (and to levels
// in the encoded domain). A row with a coefficient of 2^90 or more is first
// scaled down by a power of 2, so that no float sum overflows: that keeps
// every sum's sign, which alone decides a pel where coefficients are that
// large.
std::array<float, 4> rowOf(const std::array<double, 4>& coefficients, double outputScale) {
  constexpr int kLargestExponent = 90;
  double largest = 0.0;
  for (double c : coefficients) largest = std::max(largest, std::abs(c));
  int exponent = 0;
  std::frexp(largest, &exponent);
  const double shrink = exponent <= kLargestExponent ? 1.0 : std::ldexp(1.0, kLargestExponent - exponent);
  std::array<float, 4> row{};
  for (std::size_t j = 0; j < 4; ++j)
    row[j] = static_cast<float>(coefficients[j] * shrink * outputScale / (j < 3 ? 65535.0 : 1.0));
  return row;
}

}  // namespace

const kcLevelDecoding& kfLevelDecoding(Domain domain) {
  static const kcLevelDecoding encoded = decodingOf(Domain::encoded), linear = decodingOf(Domain::linear);
  return domain == Domain::linear ? linear : encoded;
}

const kcEncodingSegments& kfEncodingSegments() {
  static const kcEncodingSegments table = segments();
  return table;
}

kcCorrectionArithmetic::kcCorrectionArithmetic(const kcColorCorrection& correction)
    : decoding(kfLevelDecoding(correction.domain())),
      segments(kfEncodingSegments()),
      linear(correction.domain() == Domain::linear) {
  // Light in the linear domain, levels in the encoded one.
  for (std::size_t k = 0; k < 3; ++k) row[k] = rowOf(correction.coefficients()[k], linear ? 1.0 : 255.0);
}

std::array<unsigned char, 3> kcCorrectionArithmetic::corrected(const std::array<unsigned char, 3>& v) const {
  const std::array<float, 3> x = {static_cast<float>(decoding.value[v[0]]), static_cast<float>(decoding.value[v[1]]),
                                  static_cast<float>(decoding.value[v[2]])};
  std::array<unsigned char, 3> out{};
  for (std::size_t k = 0; k < 3; ++k) out[k] = static_cast<unsigned char>(level(k, x));
  return out;
}
