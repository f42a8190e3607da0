#include "colc/balance/color_correction_refinement.h"

#include <algorithm>
#include <cmath>

#include "colc/balance/color_correction_fit.h"
#include "colc/balance/internal/correction_samples.h"
#include "colc/balance/internal/linear_solve.h"
#include "colc/records/srgb_levels.h"

namespace {

constexpr std::size_t kCoefficients = 12;
using Parameters = std::array<double, kCoefficients>;
using Colour = std::array<double, 3>;

// A step of the colour difference's slope, in levels: large against the
// rounding of a single-precision colour conversion, small against the
// curvature of any colour difference.
constexpr double kLevelStep = 0.02;
// Added under each square root, so that a region matched exactly does not
// give the residual's slope an infinite weight.
constexpr double kResidualFloor = 1e-6;
// Iterations stop when one lowers the sum of differences by less than this
// share, or after this many.
constexpr double kLeastGain = 1e-7;
constexpr int kMostIterations = 100;

Parameters parametersOf(const kcColorCorrection& correction) {
  Parameters p{};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t j = 0; j < 4; ++j) p[4 * k + j] = correction.coefficients()[k][j];
  return p;
}

kcColorCorrection correctionOf(kcColorCorrection::Domain domain, const Parameters& p) {
  kcColorCorrection::Coefficients c{};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t j = 0; j < 4; ++j) c[k][j] = p[4 * k + j];
  return kcColorCorrection(domain, c);
}

// A region's corrected colour before the clamp, in the domain, and as
// levels after it, with each level's slope against the domain's value.
struct Corrected {
  Colour levels{};
  Colour slope{};
};

Corrected corrected(kcColorCorrection::Domain domain, const Parameters& p, const Colour& in) {
  const bool linear = domain == kcColorCorrection::Domain::linear;
  const auto encoded = [linear](double v) { return 255.0 * (linear ? kfLinearToSrgb(v) : v); };
  Corrected out;
  for (std::size_t k = 0; k < 3; ++k) {
    const double v = p[4 * k] * in[0] + p[4 * k + 1] * in[1] + p[4 * k + 2] * in[2] + p[4 * k + 3];
    const double level = encoded(v);
    out.levels[k] = std::clamp(level, 0.0, 255.0);
    if (level <= 0.0 || level >= 255.0) continue;  // clamped: the output does not move
    const double dv = 1e-7 * std::max(1.0, std::abs(v));
    out.slope[k] = linear ? (encoded(v + dv) - encoded(v - dv)) / (2.0 * dv) : 255.0;
  }
  return out;
}

// The slope of the difference against each level of seen, staying on 0..255.
Colour differenceSlope(const kcColourDifference& difference, const Colour& seen, const Colour& meant) {
  Colour slope{};
  for (std::size_t k = 0; k < 3; ++k) {
    Colour low = seen, high = seen;
    low[k] = std::max(0.0, seen[k] - kLevelStep);
    high[k] = std::min(255.0, seen[k] + kLevelStep);
    slope[k] = (difference(high, meant) - difference(low, meant)) / (high[k] - low[k]);
  }
  return slope;
}

// The sum of the differences over the regions.
double differenceSum(kcColorCorrection::Domain domain, const Parameters& p, const std::vector<kcRegionColours>& regions,
                     const kcColourDifference& difference) {
  double sum = 0.0;
  for (const kcRegionColours& region : regions)
    sum += difference(corrected(domain, p, region.view).levels, region.reference);
  return sum;
}

// The normal equations of one Gauss-Newton step on the residuals
// sqrt(difference + floor), whose sum of squares is the sum of the
// differences (plus a constant): the step that lowers the mean difference,
// not its squares, so that no region outweighs the others.
struct NormalEquations {
  kcSquareMatrix<kCoefficients> jtj{};
  Parameters jtr{};
};

NormalEquations normalEquations(kcColorCorrection::Domain domain, const Parameters& p,
                                const std::vector<kcRegionColours>& regions, const kcColourDifference& difference) {
  NormalEquations eq;
  for (const kcRegionColours& region : regions) {
    const Corrected out = corrected(domain, p, region.view);
    const double residual = std::sqrt(difference(out.levels, region.reference) + kResidualFloor);
    const Colour slope = differenceSlope(difference, out.levels, region.reference);
    const std::array<double, 4> in = {region.view[0], region.view[1], region.view[2], 1.0};
    Parameters row{};
    for (std::size_t k = 0; k < 3; ++k)
      for (std::size_t j = 0; j < 4; ++j) row[4 * k + j] = slope[k] * out.slope[k] * in[j] / (2.0 * residual);
    for (std::size_t a = 0; a < kCoefficients; ++a) {
      eq.jtr[a] += row[a] * residual;
      for (std::size_t b = 0; b < kCoefficients; ++b) eq.jtj[a][b] += row[a] * row[b];
    }
  }
  return eq;
}

// The Levenberg-Marquardt step for damping lambda; false when the damped
// system is singular.
bool dampedStep(const NormalEquations& eq, double lambda, Parameters& step) {
  double largest = 0.0;
  for (std::size_t a = 0; a < kCoefficients; ++a) largest = std::max(largest, eq.jtj[a][a]);
  if (largest <= 0.0) return false;
  kcSquareMatrix<kCoefficients> damped = eq.jtj;
  Parameters rhs{};
  for (std::size_t a = 0; a < kCoefficients; ++a) {
    damped[a][a] += lambda * std::max(eq.jtj[a][a], 1e-9 * largest);
    rhs[a] = -eq.jtr[a];
  }
  return kfSolveLinear(damped, rhs, step);
}

}  // namespace

std::vector<std::optional<kcRegionColours>> kfRegionColours(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain) {
  std::vector<std::optional<kcRegionColours>> out;
  for (const kcPelBuffer_const<unsigned char>& mask : regions) {
    kcRegionColours sum;
    long samples = 0, kept = 0;
    kfForEachMaskedSample(view, reference, mask, [&](const kcSampleLevels& v, const kcSampleLevels& r) {
      ++samples;
      if (!kfUnclipped(v)) return;
      ++kept;
      for (std::size_t k = 0; k < 3; ++k) {
        sum.view[k] += kfDomainValue(domain, v[k]);
        sum.reference[k] += r[k];
      }
    });
    if (kept == 0 || 2 * kept <= samples) {
      out.emplace_back();
      continue;
    }
    for (std::size_t k = 0; k < 3; ++k) {
      sum.view[k] /= static_cast<double>(kept);
      sum.reference[k] /= static_cast<double>(kept);
    }
    out.emplace_back(sum);
  }
  return out;
}

double kfMeanColourDifference(const kcColorCorrection& correction, const std::vector<kcRegionColours>& regions,
                              const kcColourDifference& difference) {
  if (regions.empty()) return 0.0;
  return differenceSum(correction.domain(), parametersOf(correction), regions, difference) /
         static_cast<double>(regions.size());
}

kcColorCorrection kfRefineColorCorrection(const kcColorCorrection& start, const std::vector<kcRegionColours>& regions,
                                          const kcColourDifference& difference) {
  const kcColorCorrection::Domain domain = start.domain();
  Parameters p = parametersOf(start);
  double sum = differenceSum(domain, p, regions, difference);
  double lambda = 1e-3;
  for (int iteration = 0; iteration < kMostIterations && sum > 0.0; ++iteration) {
    const NormalEquations eq = normalEquations(domain, p, regions, difference);
    bool lowered = false;
    double gain = 0.0;
    for (; lambda < 1e10; lambda *= 10.0) {
      Parameters step{};
      if (!dampedStep(eq, lambda, step)) continue;
      Parameters trial = p;
      for (std::size_t a = 0; a < kCoefficients; ++a) trial[a] += step[a];
      const double trialSum = differenceSum(domain, trial, regions, difference);
      if (std::isfinite(trialSum) && trialSum < sum) {
        gain = sum - trialSum;
        p = trial;
        sum = trialSum;
        lowered = true;
        break;
      }
    }
    if (!lowered || gain < kLeastGain * sum) break;
    lambda = std::max(lambda / 10.0, 1e-9);
  }
  return correctionOf(domain, p);
}

std::vector<kcColorCorrection> kfComputeRefinedColorCorrectionsLeavingOneOut(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain,
    const kcColourDifference& difference) {
  std::vector<kcColorCorrection> fits = kfComputeColorCorrectionsLeavingOneOut(view, reference, regions, domain);
  const std::vector<std::optional<kcRegionColours>> colours = kfRegionColours(view, reference, regions, domain);
  for (std::size_t i = 0; i < fits.size(); ++i) {
    std::vector<kcRegionColours> others;
    for (std::size_t j = 0; j < colours.size(); ++j)
      if (j != i && colours[j]) others.push_back(*colours[j]);
    fits[i] = kfRefineColorCorrection(fits[i], others, difference);
  }
  return fits;
}
