#include "colc/host/light.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "host/imaging/srgb.h"

namespace {

// Light is looked up in steps of 1 / kLightSteps; each step holds the pel
// of the light at its centre. The steps are far finer than the darkest
// pels' (3e-4 of full scale apart), so only light within half a step of a
// boundary between two pels can come out one pel off.
constexpr int kLightSteps = 1 << 16;

struct Tables {
  std::array<double, 256> light{};
  std::vector<unsigned char> pel = std::vector<unsigned char>(kLightSteps + 1);
  Tables() {
    for (int i = 0; i < 256; ++i) light[i] = kfSrgbDecode(i / 255.0);
    // The light halfway (in encoded terms) between neighbouring pels: the
    // pel of some light is the number of halfway marks below it.
    std::array<double, 255> halfway{};
    for (int i = 0; i < 255; ++i) halfway[i] = kfSrgbDecode((i + 0.5) / 255.0);
    for (int j = 0; j <= kLightSteps; ++j) {
      const double centre = static_cast<double>(j) / kLightSteps;
      pel[j] = static_cast<unsigned char>(std::upper_bound(halfway.begin(), halfway.end(), centre) - halfway.begin());
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

double kfPelLight(unsigned char pel) { return tables().light[pel]; }

unsigned char kfLightPel(double light) {
  if (!(light > 0.0)) return 0;
  if (light >= 1.0) return 255;
  return tables().pel[static_cast<std::size_t>(light * kLightSteps + 0.5)];
}

void kfLightPels(const float* light, long n, unsigned char* pels) {
  const unsigned char* pel = tables().pel.data();
  for (long i = 0; i < n; ++i) {
    const float l = std::clamp(light[i], 0.0f, 1.0f);
    pels[i] = std::isnan(l) ? 0 : pel[static_cast<std::size_t>(l * kLightSteps + 0.5f)];
  }
}
