// The calibration records' own rules: pel maps, equality, refused values.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "colc/records/errors.h"
#include "colc/records/params.h"
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

TEST(PelMap, RoundsHalfAwayFromZeroThenClamps) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    double gain, offset;
    int entry, expected;
  } const cases[] = {
      {1.0, 0.5, 0, 1}, {1.0, 0.5, 254, 255}, {1.0, 0.5, 255, 255}, {1.0, -0.5, 0, 0}, {1.0, -0.5, 1, 1},
      {-1.0, 255.0, 0, 255}, {-1.0, 255.0, 200, 55}, {2.0, 0.0, 127, 254}, {2.0, 0.0, 128, 255},
      {0.5, 0.0, 3, 2}, {0.5, 0.0, 5, 3}, {-0.5, 130.0, 5, 128}, {0.0, -2.5, 0, 0},
      // x + 0.5 is 1.0 in double precision here: the rule, not std::round, decides.
      {0.0, 0.49999999999999994, 0, 1},
      // Outside 32 bits the value saturates by its sign; a not-a-number gives 0.
      {1e300, 0.0, 0, 0}, {1e300, 0.0, 1, 255}, {-1e300, 0.0, 1, 0}, {1.0, inf, 0, 255}, {1.0, -inf, 9, 0},
      {1.0, std::nan(""), 9, 0}, {1.0, 2147483647.0, 0, 255}, {-1.0, -2147483648.0, 5, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(kfBuildPelMap(c.gain, c.offset).at(c.entry), c.expected)
        << "gain " << c.gain << " offset " << c.offset << " entry " << c.entry;
}

TEST(ChannelResult, OnlyTheExactIdentityKeepsAnEmptyMap) {
  std::vector<unsigned char> identity(256);
  std::iota(identity.begin(), identity.end(), 0);

  kcColorCalibrationChannelResult result;
  result.init(2.0, 0.0, -1.0);
  EXPECT_EQ(result.pelmap().size(), 256u);
  result.init(1.0, 0.0, -1.0);
  EXPECT_TRUE(result.pelmap().empty());
  EXPECT_TRUE(result == kcColorCalibrationChannelResult());
  result.init(1.0, 1e-9, -1.0);
  EXPECT_EQ(result.pelmap(), identity);

  // The computation's record always holds the full table.
  kcColorCalibrationChannelResultInternal internal;
  internal.init(1.0, 0.0, 0.1, 0.2, 0.3, 4.0);
  EXPECT_EQ(internal.pelmap(), identity);
}

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

TEST(CalibrationParams, SettersRefuseBadValuesAndEqualityComparesEveryField) {
  kcColorCalibrationParams p;
  p.exposureRange(kcRange(0.0, 0.1));
  const std::pair<std::function<void()>, std::string> refused[] = {
      {[&] { p.minExposureStepSize(-1e-12); }, "minExposureStepSize < 0"},
      {[&] { p.minExposureStepSize(std::nan("")); }, "minExposureStepSize < 0"},
      {[&] { p.exposureRange(kcRange::EmptyRange()); }, "exposureRange == kcRange::EmptyRange()"}};
  for (const auto& [set, message] : refused) {
    try {
      set();
      ADD_FAILURE() << message;
    } catch (const kcColorCalibrationDefs::BadParams& e) {
      EXPECT_EQ(e.text(), message);
    }
  }
  EXPECT_EQ(p.minExposureStepSize(), 0.0);
  EXPECT_TRUE(p.exposureRange() == kcRange(0.0, 0.1));

  const std::function<void(kcColorCalibrationParams&)> changes[] = {
      [](auto& p) { p.isExposureEnabled(false); },   [](auto& p) { p.isContrastEnabled(false); },
      [](auto& p) { p.isBrightnessEnabled(false); }, [](auto& p) { p.minExposureStepSize(1e-300); },
      [](auto& p) { p.exposureRange({1e-6, 0.31}); }, [](auto& p) { p.usePositive8BitLut(false); },
      [](auto& p) { p.allowPelMapping(false); }};
  for (const auto& change : changes) {
    kcColorCalibrationParams changed;
    change(changed);
    EXPECT_FALSE(changed == kcColorCalibrationParams());
  }
}
