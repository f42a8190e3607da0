// Fuzz target for the single-plane gain/offset fit: planes of any small
// size, window and offset, with and without a mask, with and without a
// destination resampled through affine sampling (and a client transform),
// with and without diagnostics.
//
// Promises checked on every input: the caller's images (windows and pels)
// are left as they were, a refusal leaves the result as it was, and a fit
// that succeeds has a finite error and proportions that order as they
// must (0 < active <= unsaturated source, unsaturated destination <= 1).
// Without sampling, an oracle computed straight from the pels says whether
// the fit must be refused (no overlap, a mask that does not cover the
// common window or holds values other than 0 and 255, no active pel) and,
// when it succeeds, what its error and proportions must be: the error is
// recomputed from the pels through the result's own pel map. And the fit,
// which takes one pass and a fast search, must end exactly where its
// literal form (intermediate images, literal evaluation and search) ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>

#include "colc/balance/balance.h"
#include "colc/literal/channel_fit_literal.h"
#include "colc/records/errors.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_images.h"

namespace fuzz_plane_fit {

using Plane = kcPelBuffer_const<unsigned char>;
using Result = kcColorCalibrationChannelResultInternal;

inline bool sameResult(const Result& a, const Result& b) {
  return a.gain() == b.gain() && a.offset() == b.offset() && a.rmsError() == b.rmsError() &&
         a.proportionActiveSrcPels() == b.proportionActiveSrcPels() &&
         a.proportionActiveDstPels() == b.proportionActiveDstPels() &&
         a.proportionActivePels() == b.proportionActivePels() && a.pelmap() == b.pelmap();
}

// Sampling of a rectangle near the destination: centres, lengths and
// angles around the values that matter (integers, halves, right angles).
inline kcAffineSamplingParams sampling(FuzzInput& in) {
  // One read per statement, so that an input means the same to every compiler.
  const auto coordinate = [&in] {
    const double whole = static_cast<double>(in.upTo(16)) - 2.0;
    return whole + in.real(0.5);
  };
  const double centreX = coordinate();
  const double centreY = coordinate();
  const double xLength = coordinate() + 2.0;
  const double yLength = coordinate() + 2.0;
  const double xRotation = in.real(std::numbers::pi / 2);
  const double yRotation = in.byte() % 2 ? xRotation : in.real(std::numbers::pi / 2);
  const long xSamples = in.upTo(12);
  const long ySamples = in.upTo(12);
  const auto interpolation = in.byte() % 2 ? kcAffineSamplingParams::eBilinear : kcAffineSamplingParams::eNearestNeighbor;
  return {kcAffineRectangle({centreX, centreY}, xLength, yLength, kcRadian(xRotation), kcRadian(yRotation)), xSamples,
          ySamples, interpolation};
}

// Scales, shears, flips, singular matrices and shifts.
inline kcXform<2> clientTransform(FuzzInput& in) {
  double m[6];
  for (double& v : m) v = in.real(2.0);
  return {kcMatrix<2>(m[0], m[1], m[2], m[3]), kcVector<2>(4.0 * m[4], 4.0 * m[5])};
}

inline unsigned char pelAt(const Plane& plane, long x, long y) { return plane.pointToRow(y)[x - plane.window().left]; }

// What the fit must give, computed from the pels without the joint table.
struct Oracle {
  bool refused = true;
  std::int64_t usable = 0, unsaturatedSrc = 0, unsaturatedDst = 0, active = 0;
  kcRectangle<long> common;

  Oracle(const Plane& src, const Plane& mask, const Plane& dst) {
    common = src.window().rectangle().intersect(dst.window().rectangle(), false);
    if (common.width() == 0 || common.height() == 0) return;
    if (mask.isBound()) {
      if (!(common.intersect(mask.window().rectangle(), false) == common)) return;
      for (const unsigned char m : fuzzWindowPels(mask))
        if (m != 0 && m != 255) return;
    }
    for (long y = common.top(); y < common.bottom(); ++y)
      for (long x = common.left(); x < common.right(); ++x) {
        if (mask.isBound() && pelAt(mask, x, y) == 0) continue;
        const bool s = pelAt(src, x, y) % 255 != 0, d = pelAt(dst, x, y) % 255 != 0;
        ++usable;
        unsaturatedSrc += s;
        unsaturatedDst += d;
        active += s && d;
      }
    refused = active == 0;
  }

  // The saturation-aware RMS error of the transfer given by a pel map.
  double rmsError(const Plane& src, const Plane& mask, const Plane& dst, const std::vector<unsigned char>& map) const {
    double sum = 0.0;
    std::uint32_t number = 0;
    for (long y = common.top(); y < common.bottom(); ++y)
      for (long x = common.left(); x < common.right(); ++x) {
        if (mask.isBound() && pelAt(mask, x, y) == 0) continue;
        const int s = pelAt(src, x, y), d = pelAt(dst, x, y), m = map[static_cast<std::size_t>(s)];
        // A saturated source pel only bounds its true value from one side.
        if ((s == 0 && d < m) || (s == 255 && d >= m)) continue;
        sum += static_cast<double>((m - d) * (m - d));
        ++number;
      }
    return std::sqrt(sum / number);
  }

  double share(std::int64_t count) const { return static_cast<double>(count) / static_cast<double>(usable); }
};

}  // namespace fuzz_plane_fit

inline void fuzzPlaneFit(std::span<const std::uint8_t> data) {
  using namespace fuzz_plane_fit;
  FuzzInput in(data);
  const std::uint8_t mode = in.byte();
  const bool sampled = (mode & 1) != 0, masked = (mode & 2) != 0, withDiag = (mode & 4) != 0;
  const long srcWidth = in.upTo(12), srcHeight = in.upTo(12);
  const Plane src = fuzzPlane(in, srcWidth, srcHeight, 2);
  const long dstWidth = in.upTo(12), dstHeight = in.upTo(12);
  kcPelBuffer<unsigned char> dst = fuzzPlane(in, dstWidth, dstHeight, 2);
  // The sampling rectangle lies in the destination's client coordinates.
  if (sampled && (mode & 8) != 0) dst.clientFromImageXform(clientTransform(in));
  Plane mask;
  if (masked) {
    const long maskWidth = in.upTo(14), maskHeight = in.upTo(14);
    mask = fuzzPlane(in, maskWidth, maskHeight, 2, maskPel);
  }
  const kcAffineSamplingParams samplingParams = sampled ? sampling(in) : kcAffineSamplingParams();

  const FuzzPlaneState before[3] = {fuzzStateOf(src), fuzzStateOf(mask), fuzzStateOf(dst)};
  Result sentinel;
  sentinel.init(0.5, 7.0, 0.25, 0.5, 0.125, 9.0);
  Result result = sentinel;
  kcDiagObject diag;
  kcDiagObject* const diagnostics = withDiag ? &diag : nullptr;
  const unsigned long flags = kColorCalibrationDiagInputs | kColorCalibrationDiagResults;

  bool refused = false;
  try {
    if (sampled)
      kfComputeColorCalibration(src, mask, samplingParams, dst, result, diagnostics, flags);
    else
      kfComputeColorCalibration(src, mask, dst, result, diagnostics, flags);
  } catch (const kcColorCalibrationDefs::BadImages&) {
    refused = true;
  } catch (const kcException&) {
    // Only the resampling may refuse with a host exception (no samples, say).
    fuzzCheck(sampled, "the fit refused with something else than BadImages");
    refused = true;
  }
  fuzzCheck(fuzzStateOf(src) == before[0] && fuzzStateOf(mask) == before[1] && fuzzStateOf(dst) == before[2],
            "the fit changed a caller's image");
  if (refused) {
    fuzzCheck(sameResult(result, sentinel), "a refused fit changed the result");
  } else {
    fuzzCheck(std::isfinite(result.gain()) && std::isfinite(result.offset()) && std::isfinite(result.rmsError()) &&
                  result.rmsError() >= 0.0,
              "a fit ended with a number that is not finite");
    fuzzCheck(0.0 < result.proportionActivePels() &&
                  result.proportionActivePels() <= result.proportionActiveSrcPels() &&
                  result.proportionActivePels() <= result.proportionActiveDstPels() &&
                  result.proportionActiveSrcPels() <= 1.0 && result.proportionActiveDstPels() <= 1.0,
              "the proportions of active pels are out of order");
  }
  if (sampled) return;

  const Oracle oracle(src, mask, dst);
  fuzzCheck(refused == oracle.refused, refused ? "a usable fit was refused" : "an unusable fit was accepted");
  kcChannelFit literal;
  try {
    literal = kfFitChannelLiteral(src, mask, dst, nullptr, 0);
  } catch (const kcColorCalibrationDefs::BadImages&) {
    fuzzCheck(refused, "the literal fit refused what the fit accepted");
    return;
  }
  fuzzCheck(!refused, "the fit refused what the literal fit accepted");
  fuzzCheck(result.gain() == literal.gain && result.offset() == literal.offset &&
                result.rmsError() == literal.rmsError &&
                result.proportionActiveSrcPels() == literal.proportionActiveSrcPels &&
                result.proportionActiveDstPels() == literal.proportionActiveDstPels &&
                result.proportionActivePels() == literal.proportionActivePels,
            "the fit ended elsewhere than its literal form");
  fuzzCheck(result.rmsError() == oracle.rmsError(src, mask, dst, result.pelmap()),
            "the error is not that of the pel map");
  fuzzCheck(result.proportionActivePels() == oracle.share(oracle.active) &&
                result.proportionActiveSrcPels() == oracle.share(oracle.unsaturatedSrc) &&
                result.proportionActiveDstPels() == oracle.share(oracle.unsaturatedDst),
            "the proportions of active pels are wrong");
}
