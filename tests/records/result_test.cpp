#include <gtest/gtest.h>

#include <functional>

#include "colc/records/errors.h"
#include "colc/records/result.h"

namespace {

using Channels = std::vector<kcColorCalibrationChannelResult>;

kcColorCalibrationChannelResult channel(double gain, double offset) {
  kcColorCalibrationChannelResult result;
  result.init(gain, offset, 0.5);
  return result;
}

kcColorCalibrationResult withChannels(const Channels& channels) {
  kcColorCalibrationResult result;
  result.channelResults(channels);
  return result;
}

// A 16 x 16 colour image in which every plane holds all 256 pel values.
kc3PlanePelBuffer allValuesImage() {
  kcPelBuffer<unsigned char> planes[3] = {{16, 16}, {16, 16}, {16, 16}};
  for (int k = 0; k < 3; ++k)
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) planes[k].pointToRow(y)[x] = static_cast<unsigned char>(y * 16 + x + 85 * k);
  return {planes[0], planes[1], planes[2]};
}

void expectMapped(const kcPelBuffer_const<unsigned char>& in, const kcPelBuffer_const<unsigned char>& out,
                  const std::function<int(int)>& transfer) {
  ASSERT_EQ(out.width(), in.width());
  ASSERT_EQ(out.height(), in.height());
  for (long y = 0; y < in.height(); ++y)
    for (long x = 0; x < in.width(); ++x) {
      const int p = in.pointToRow(in.window().top + y)[x];
      ASSERT_EQ(out.pointToRow(out.window().top + y)[x], transfer(p)) << "pel value " << p;
    }
}

}  // namespace

TEST(CalibrationResult, EqualityIgnoresOnlyTheAcquisitionInfo) {
  const kcColorCalibrationResult base = withChannels({channel(2, 1), {}, {}});
  kcColorCalibrationResult sameButAcq = base;
  kcAcquireInfo failed;
  failed.failure(kcAcqFailure(kcAcqFailure::eFailed, "lost"));
  sameButAcq.acqInfo(failed);
  EXPECT_TRUE(sameButAcq == base);

  const std::function<void(kcColorCalibrationResult&)> changes[] = {
      [](auto& r) { r.exposure(1e-3); }, [](auto& r) { r.contrast(0.5); }, [](auto& r) { r.brightness(0.5); },
      [](auto& r) { r.positive8BitLut(true); }, [](auto& r) { r.channelResults({channel(2, 1), {}}); },
      [](auto& r) { r.channelResults({channel(2, 1), {}, channel(1, 1)}); }};
  for (const auto& change : changes) {
    kcColorCalibrationResult changed = base;
    change(changed);
    EXPECT_FALSE(changed == base);
  }
}

TEST(PelMapImage, NeedsExactlyThreeChannelResults) {
  for (std::size_t n : {0u, 2u, 4u}) {
    try {
      withChannels(Channels(n)).pelMapImage(allValuesImage());
      ADD_FAILURE() << n << " channel results were accepted";
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), "");
    }
  }
}

// Channel 0's empty map means "no re-mapping" for the whole image, even
// when another channel holds a map.
TEST(PelMapImage, AnIdentityFirstChannelGivesAnIndependentCopy) {
  const kc3PlanePelBuffer image = allValuesImage();
  const kc3PlanePelBuffer out = withChannels({{}, channel(-1, 255), {}}).pelMapImage(image);
  const auto same = [](int p) { return p; };
  for (int k = 0; k < 3; ++k) expectMapped(image.pelPlane(k), out.pelPlane(k), same);
  out.pelPlane(1).pointToRow(0)[0] = 99;
  EXPECT_EQ(image.pelPlane(1).pointToRow(0)[0], 85);
}

TEST(PelMapImage, MapsEachPlaneThroughItsOwnTable) {
  const kc3PlanePelBuffer image = allValuesImage();
  const kc3PlanePelBuffer out = withChannels({channel(-1, 255), channel(2, 0), {}}).pelMapImage(image);
  expectMapped(image.plane0(), out.plane0(), [](int p) { return 255 - p; });
  expectMapped(image.plane1(), out.plane1(), [](int p) { return std::min(2 * p, 255); });
  // An empty map of a later channel is its identity transfer.
  expectMapped(image.plane2(), out.plane2(), [](int p) { return p; });
}
