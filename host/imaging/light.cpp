#include "colc/host/light.h"

#include <algorithm>
#include <array>

#include "host/imaging/srgb.h"

namespace {

// Light of every pel, and the light halfway (in encoded terms) between
// neighbouring pels: the pel of some light is the number of halfway marks
// below it, which a binary search finds without a power per pel.
struct Tables {
  std::array<double, 256> light{};
  std::array<double, 255> halfway{};
  Tables() {
    for (int i = 0; i < 256; ++i) light[i] = kfSrgbDecode(i / 255.0);
    for (int i = 0; i < 255; ++i) halfway[i] = kfSrgbDecode((i + 0.5) / 255.0);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

double kfPelLight(unsigned char pel) { return tables().light[pel]; }

unsigned char kfLightPel(double light) {
  const auto& halfway = tables().halfway;
  return static_cast<unsigned char>(std::upper_bound(halfway.begin(), halfway.end(), light) - halfway.begin());
}
