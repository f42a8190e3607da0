// The sensor's row computation gives the same pels on every path, whatever
// the row's length and position, over the whole range of levels, noise
// samples and ADC codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "host/acq/sim/expose_row.h"
#include "host/acq/sim/sensor_model.h"

namespace {

TEST(SimExposeRow, EveryPathGivesThePortablePels) {
  std::mt19937 random(5);
  // Every level once, in a shuffled order, so that rare differences in
  // rounding would show.
  std::vector<std::uint16_t> levels(65536);
  std::vector<std::int8_t> noise(levels.size());
  for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<std::uint16_t>(i);
  std::shuffle(levels.begin(), levels.end(), random);
  for (auto& z : noise) z = static_cast<std::int8_t>(random());
  std::vector<float> sigma(65536 >> kSimLevelShift);
  for (std::size_t bin = 0; bin < sigma.size(); ++bin) sigma[bin] = 0.05f + 0.0007f * static_cast<float>(bin);
  std::vector<unsigned char> output(kcSimModel::kAdcMax + 1 + 3);
  for (auto& o : output) o = static_cast<unsigned char>(random());
  // Scales that put the levels below, across and far beyond the ADC's range,
  // offsets below zero and above the top code.
  for (const auto& [scale, offset] : {std::pair{0.01f, -30.0f}, std::pair{0.0625f, 0.5f}, std::pair{0.3f, 100.0f},
                                      std::pair{1.7f, -2000.0f}, std::pair{0.02f, 4200.0f}}) {
    const kcSimRowTransfer t{scale, offset, sigma.data(), output.data()};
    // Lengths whose last block fills more or fewer than half its lanes.
    for (const auto& [start, n] : {std::pair{0, 65536}, std::pair{3, 1}, std::pair{17, 15}, std::pair{5, 33},
                                   std::pair{9, 8}, std::pair{2, 40}, std::pair{11, 25}}) {
      std::vector<unsigned char> fast(n + 1, 0xAB), portable(n);
      kfSimRowExposer()(levels.data() + start, noise.data() + start, t, fast.data(), n);
      kfSimExposeRowPortable(levels.data() + start, noise.data() + start, t, portable.data(), n);
      EXPECT_EQ(std::vector<unsigned char>(fast.begin(), fast.end() - 1), portable)
          << scale << " " << start << " " << n;
      EXPECT_EQ(fast.back(), 0xAB) << "written past the end";
    }
  }
}

}  // namespace
