#include "colc/balance/color_correction_fit.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "colc/balance/internal/correction_samples.h"
#include "colc/balance/internal/linear_solve.h"
#include "colc/records/errors.h"

namespace {

using Matrix4 = kcSquareMatrix<4>;
using Vector4 = std::array<double, 4>;

// The sums of the normal equations: inputs (three planes and 1) against
// themselves and against each output plane.
struct NormalSums {
  Matrix4 inputs{};
  std::array<Vector4, 3> outputs{};
  long count = 0;

  void add(const Vector4& in, const std::array<double, 3>& out) {
    for (std::size_t i = 0; i < 4; ++i) {
      for (std::size_t j = 0; j < 4; ++j) inputs[i][j] += in[i] * in[j];
      for (std::size_t k = 0; k < 3; ++k) outputs[k][i] += in[i] * out[k];
    }
    ++count;
  }

  // Another set of samples' sums added (sign 1) or taken back out (sign -1).
  void add(const NormalSums& other, int sign) {
    for (std::size_t i = 0; i < 4; ++i) {
      for (std::size_t j = 0; j < 4; ++j) inputs[i][j] += sign * other.inputs[i][j];
      for (std::size_t k = 0; k < 3; ++k) outputs[k][i] += sign * other.outputs[k][i];
    }
    count += sign * other.count;
  }
};

// Per pel, the lowest and highest level of a plane over the square of
// side 2 radius + 1 around it: along the rows first, then down the columns.
// Only pels whose square lies in the plane are filled.
struct SquareRange {
  std::vector<unsigned char> low, high;
};

SquareRange squareRange(const kcPelBuffer_const<unsigned char>& plane, long radius) {
  const long width = plane.width(), height = plane.height();
  const auto at = [width](long x, long y) { return static_cast<std::size_t>(y * width + x); };
  SquareRange rows{std::vector<unsigned char>(static_cast<std::size_t>(width * height)),
                   std::vector<unsigned char>(static_cast<std::size_t>(width * height))};
  for (long y = 0; y < height; ++y) {
    const unsigned char* row = plane.pointToRow(plane.window().top + y);
    for (long x = radius; x + radius < width; ++x) {
      const auto [low, high] = std::minmax_element(row + x - radius, row + x + radius + 1);
      rows.low[at(x, y)] = *low;
      rows.high[at(x, y)] = *high;
    }
  }
  SquareRange square = rows;
  for (long y = radius; y + radius < height; ++y)
    for (long x = radius; x + radius < width; ++x)
      for (long dy = -radius; dy <= radius; ++dy) {
        square.low[at(x, y)] = std::min(square.low[at(x, y)], rows.low[at(x, y + dy)]);
        square.high[at(x, y)] = std::max(square.high[at(x, y)], rows.high[at(x, y + dy)]);
      }
  return square;
}

// The sums over the samples where mask is non-zero and no plane of the view is clipped.
NormalSums sampleSums(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                      const kcPelBuffer_const<unsigned char>& mask, kcColorCorrection::Domain domain) {
  NormalSums sums;
  kfForEachMaskedSample(view, reference, mask, [&](const kcSampleLevels& v, const kcSampleLevels& r) {
    if (!kfUnclipped(v)) return;
    const auto value = [domain](unsigned char level) { return kfDomainValue(domain, level); };
    sums.add({value(v[0]), value(v[1]), value(v[2]), 1.0}, {value(r[0]), value(r[1]), value(r[2])});
  });
  return sums;
}

kcColorCorrection solved(const NormalSums& sums, kcColorCorrection::Domain domain) {
  if (sums.count < 12)
    throw kcColorCalibrationDefs::BadImages("a colour correction needs at least 12 unclipped samples, not " +
                                            std::to_string(sums.count));
  kcColorCorrection::Coefficients coefficients;
  for (std::size_t k = 0; k < 3; ++k)
    if (!kfSolveLinear(sums.inputs, sums.outputs[k], coefficients[k]))
      throw kcColorCalibrationDefs::BadImages("the samples' colours do not span the three planes");
  return kcColorCorrection(domain, coefficients);
}

}  // namespace

kcColorCorrection kfComputeColorCorrection(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                                           const kcPelBuffer_const<unsigned char>& mask,
                                           kcColorCorrection::Domain domain) {
  return solved(sampleSums(view, reference, mask, domain), domain);
}

std::vector<kcColorCorrection> kfComputeColorCorrectionsLeavingOneOut(
    const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
    const std::vector<kcPelBuffer_const<unsigned char>>& regions, kcColorCorrection::Domain domain) {
  std::vector<NormalSums> byRegion;
  NormalSums all;
  for (const kcPelBuffer_const<unsigned char>& region : regions) {
    byRegion.push_back(sampleSums(view, reference, region, domain));
    all.add(byRegion.back(), 1);
  }
  std::vector<kcColorCorrection> corrections;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    NormalSums others = all;
    others.add(byRegion[i], -1);
    try {
      corrections.push_back(solved(others, domain));
    } catch (const kcColorCalibrationDefs::BadImages& e) {
      throw kcColorCalibrationDefs::BadImages("without region " + std::to_string(i) + ", " + e.text());
    }
  }
  return corrections;
}

kcPelBuffer<unsigned char> kfFlatRegionMask(const kc3PlanePelBuffer& image, long radius, int tolerance) {
  const long width = image.width(), height = image.height();
  kcPelBuffer<unsigned char> mask(width, height);
  const SquareRange ranges[3] = {squareRange(image.plane0(), radius), squareRange(image.plane1(), radius),
                                 squareRange(image.plane2(), radius)};
  for (long y = radius; y + radius < height; ++y) {
    unsigned char* out = mask.pointToRow(y);
    for (long x = radius; x + radius < width; ++x) {
      const auto i = static_cast<std::size_t>(y * width + x);
      out[x] = std::all_of(std::begin(ranges), std::end(ranges),
                           [&](const SquareRange& r) { return r.high[i] - r.low[i] <= tolerance; })
                   ? 255
                   : 0;
    }
  }
  return mask;
}

kc3PlanePelBuffer kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                                 const kc3PlanePelBuffer& image) {
  return correction != nullptr ? correction->apply(image) : result.pelMapImage(image);
}

void kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                    const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out) {
  if (correction != nullptr)
    correction->apply(image, out);
  else
    result.pelMapImage(image, out);
}

void kfCorrectImage(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                    const kcInterleavedPels<const unsigned char>& image, const kcInterleavedPels<unsigned char>& out) {
  if (correction != nullptr)
    correction->apply(image, out);
  else
    result.pelMapImage(image, out);
}

std::array<double, 3> kfCorrectColour(const kcColorCalibrationResult& result, const kcColorCorrection* correction,
                                      const std::array<double, 3>& colour) {
  if (correction != nullptr) return correction->apply(colour);
  if (result.channelResults().size() != 3) throw kcColorCalibrationDefs::BadParams();
  // As pelMapImage: no map on the first plane leaves every plane as it is.
  const bool identity = result.channelResults()[0].pelmap().empty();
  std::array<double, 3> out{};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<unsigned char>& map = result.channelResults()[k].pelmap();
    const double level = std::clamp(colour[k], 0.0, 1.0) * 255.0;
    if (identity || map.empty()) {
      out[k] = level / 255.0;
      continue;
    }
    const auto below = static_cast<std::size_t>(std::min(level, 254.0));
    const double t = level - static_cast<double>(below);
    out[k] = ((1.0 - t) * map[below] + t * map[below + 1]) / 255.0;
  }
  return out;
}
