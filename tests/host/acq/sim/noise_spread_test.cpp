// The noise's spread by level bin, computed in vectors, against the model's
// formula evaluated one bin at a time in double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/acq/sim/expose_row.h"
#include "host/acq/sim/noise_spread.h"
#include "host/acq/sim/sensor_model.h"

namespace {

using namespace kcSimModel;

TEST(SimNoiseSpread, EveryBinEqualsTheFormulaToTheBit) {
  constexpr double kBankSigma = 32.0;
  // Noise off, below and at the sensor's own; gains over their whole range;
  // exposures from far too short to far too long.
  for (const double noise : {0.0, 0.37, 1.0})
    for (const double contrast : {0.0, 0.3, 0.5, 1.0})
      for (const double exposure : {0.002, 0.01, 0.3, 2.0}) {
        const double g = gain(contrast), perLevel = exposure * kPhotonRate / 65535.0;
        const std::vector<float> spreads = kfSimNoiseSpreads(noise, g, perLevel, kBankSigma);
        ASSERT_EQ(spreads.size(), std::size_t{65536 >> kSimLevelShift});
        for (std::size_t bin = 0; bin < spreads.size(); ++bin) {
          const double p = perLevel * (static_cast<double>(bin << kSimLevelShift) + (1 << kSimLevelShift) / 2.0);
          const double sd = noise * kAdcMax * std::sqrt(g * g * p / kFullWell + kReadNoise * kReadNoise);
          ASSERT_EQ(spreads[bin], static_cast<float>(sd / kBankSigma))
              << "bin " << bin << ", noise " << noise << ", contrast " << contrast << ", exposure " << exposure;
        }
      }
}

}  // namespace
