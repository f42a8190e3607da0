#include "host/acq/sim/noise_spread.h"

#include <cmath>
#include <opencv2/core/hal/intrin.hpp>

#include "host/acq/sim/expose_row.h"
#include "host/acq/sim/sensor_model.h"

namespace {

using namespace kcSimModel;

double squareRoot(double x) { return std::sqrt(x); }
#if CV_SIMD128_64F
cv::v_float64x2 squareRoot(const cv::v_float64x2& x) { return cv::v_sqrt(x); }
#endif

// Real is double or a vector of them, splat turns a double into a Real:
// either way the same operations run in the same order, each rounded
// exactly, so both give the same bits.
template <class Real, class Splat>
Real spread(const Real& level, double noiseCodes, double gainSquared, double perLevel, double bankSigma,
            const Splat& splat) {
  const Real p = splat(perLevel) * level;
  return splat(noiseCodes) *
         squareRoot(splat(gainSquared) * p / splat(kFullWell) + splat(kReadNoise * kReadNoise)) / splat(bankSigma);
}

}  // namespace

std::vector<float> kfSimNoiseSpreads(double noise, double gain, double perLevel, double bankSigma) {
  std::vector<float> spreads(65536 >> kSimLevelShift);
  const double noiseCodes = noise * kAdcMax, gainSquared = gain * gain;
  constexpr double kBinCentre = (1 << kSimLevelShift) / 2.0;
  std::size_t bin = 0;
#if CV_SIMD128_64F
  const auto splat = [](double x) { return cv::v_setall_f64(x); };
  const cv::v_int32x4 four = cv::v_setall_s32(4);
  cv::v_int32x4 bins(0, 1, 2, 3);
  for (; bin + 4 <= spreads.size(); bin += 4, bins += four) {
    const cv::v_int32x4 first = bins << kSimLevelShift;  // each bin's lowest level
    const cv::v_float64x2 low = cv::v_cvt_f64(first) + splat(kBinCentre);
    const cv::v_float64x2 high = cv::v_cvt_f64_high(first) + splat(kBinCentre);
    cv::v_store(&spreads[bin], cv::v_cvt_f32(spread(low, noiseCodes, gainSquared, perLevel, bankSigma, splat),
                                             spread(high, noiseCodes, gainSquared, perLevel, bankSigma, splat)));
  }
#endif
  for (; bin < spreads.size(); ++bin)
    spreads[bin] = static_cast<float>(spread(static_cast<double>(bin << kSimLevelShift) + kBinCentre, noiseCodes,
                                             gainSquared, perLevel, bankSigma, [](double x) { return x; }));
  return spreads;
}
