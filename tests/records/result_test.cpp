#include <gtest/gtest.h>

#include <functional>

#include "colc/records/errors.h"
#include "colc/records/result.h"

namespace {

kcColorCalibrationChannelResult channel(double gain, double offset) {
  kcColorCalibrationChannelResult result;
  result.init(gain, offset, 0.5);
  return result;
}

kcColorCalibrationResult withChannels(const std::vector<kcColorCalibrationChannelResult>& channels) {
  kcColorCalibrationResult result;
  result.channelResults(channels);
  return result;
}

// A 16 x 16 colour image in which every plane holds all 256 pel values.
kc3PlanePelBuffer allValuesImage() {
  kcPelBuffer<unsigned char> planes[3] = {{16, 16}, {16, 16}, {16, 16}};
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) planes[k].pointToRow(i / 16)[i % 16] = static_cast<unsigned char>(i + 85 * k);
  return {planes[0], planes[1], planes[2]};
}

void expectPlanes(const kc3PlanePelBuffer& in, const kc3PlanePelBuffer& out,
                  const std::function<int(int k, int p)>& transfer) {
  ASSERT_EQ(out.width(), 16);
  ASSERT_EQ(out.height(), 16);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) {
      const int p = in.pelPlane(k).pointToRow(i / 16)[i % 16];
      ASSERT_EQ(out.pelPlane(k).pointToRow(out.window().top + i / 16)[i % 16], transfer(k, p)) << k << " " << p;
    }
}

}  // namespace

TEST(PelMapImage, MapsEachPlaneThroughItsOwnTableAndNeedsExactlyThreeOfThem) {
  const kc3PlanePelBuffer image = allValuesImage();
  // Channel 0's empty map means "no re-mapping" for the whole image, even
  // when another channel holds a map; the copy has pels of its own.
  const kc3PlanePelBuffer copy = withChannels({{}, channel(-1, 255), {}}).pelMapImage(image);
  expectPlanes(image, copy, [](int, int p) { return p; });
  copy.pelPlane(1).pointToRow(0)[0] = 99;
  EXPECT_EQ(image.pelPlane(1).pointToRow(0)[0], 85);

  // A later channel's empty map is its identity transfer.
  const kc3PlanePelBuffer out = withChannels({channel(-1, 255), channel(2, 0), {}}).pelMapImage(image);
  const int transfer[3][2] = {{-1, 255}, {2, 0}, {1, 0}};
  expectPlanes(image, out, [&](int k, int p) { return std::clamp(transfer[k][0] * p + transfer[k][1], 0, 255); });

  for (std::size_t n : {0u, 2u, 4u}) {
    try {
      withChannels(std::vector<kcColorCalibrationChannelResult>(n)).pelMapImage(image);
      ADD_FAILURE() << n << " channel results were accepted";
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), "");
    }
  }
}
