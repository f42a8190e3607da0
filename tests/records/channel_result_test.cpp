#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "colc/records/channel_result.h"

namespace {
const double kInf = std::numeric_limits<double>::infinity();

struct PelMapCase {
  double gain, offset;
  int entry, expected;
};
}  // namespace

TEST(PelMap, RoundsHalfAwayFromZeroThenClamps) {
  const PelMapCase cases[] = {
      {1.0, 0.5, 0, 1},    {1.0, 0.5, 254, 255},  {1.0, 0.5, 255, 255}, {1.0, -0.5, 0, 0},   {1.0, -0.5, 1, 1},
      {1.0, -0.5, 255, 255}, {2.0, 0.0, 127, 254}, {2.0, 0.0, 128, 255}, {0.0, 2.5, 0, 3},   {0.0, -2.5, 0, 0},
      {0.5, 0.0, 1, 1},    {0.5, 0.0, 3, 2},      {0.5, 0.0, 5, 3},     {-0.5, 130.0, 5, 128},
      // x + 0.5 is 1.0 in double precision here: the rule, not std::round, decides.
      {0.0, 0.49999999999999994, 0, 1},
      // Outside 32 bits the value saturates by its sign; a not-a-number gives 0.
      {1e300, 0.0, 0, 0},  {1e300, 0.0, 1, 255},  {-1e300, 0.0, 1, 0},  {1.0, kInf, 0, 255}, {1.0, -kInf, 9, 0},
      {1.0, std::nan(""), 9, 0}, {1.0, 2147483647.0, 0, 255}, {-1.0, -2147483648.0, 5, 0}};
  for (const PelMapCase& c : cases)
    EXPECT_EQ(kfBuildPelMap(c.gain, c.offset).at(c.entry), c.expected)
        << "gain " << c.gain << " offset " << c.offset << " entry " << c.entry;

  std::vector<unsigned char> inverse(256);
  for (int i = 0; i < 256; ++i) inverse[i] = static_cast<unsigned char>(255 - i);
  EXPECT_EQ(kfBuildPelMap(-1.0, 255.0), inverse);
}

TEST(ChannelResult, OnlyTheExactIdentityKeepsAnEmptyMap) {
  std::vector<unsigned char> identity(256);
  std::iota(identity.begin(), identity.end(), 0);

  kcColorCalibrationChannelResult result;
  EXPECT_TRUE(result.pelmap().empty());
  result.init(2.0, 0.0, 1.0);
  EXPECT_EQ(result.pelmap().size(), 256u);
  result.init(1.0, 0.0, 1.0);
  EXPECT_TRUE(result.pelmap().empty());
  result.init(1.0, 1e-9, 1.0);
  EXPECT_EQ(result.pelmap(), identity);

  kcColorCalibrationChannelResultInternal internal;
  EXPECT_EQ(internal.gain(), 0.0);
  EXPECT_EQ(internal.rmsError(), -1.0);
  EXPECT_TRUE(internal.pelmap().empty());
  internal.init(1.0, 0.0, 0.1, 0.2, 0.3, 4.0);
  EXPECT_EQ(internal.pelmap(), identity);
  EXPECT_EQ(internal.proportionActiveDstPels(), 0.2);
}

TEST(ChannelResult, EqualityComparesEveryField) {
  kcColorCalibrationChannelResult identity;
  identity.init(1.0, 0.0, -1.0);
  EXPECT_TRUE(identity == kcColorCalibrationChannelResult());
  kcColorCalibrationChannelResult changed[4];
  changed[0].init(1.0, 0.0, 0.0);
  changed[1].init(1.0, -0.0001, -1.0);
  changed[2].init(1.0000001, 0.0, -1.0);
  changed[3] = changed[2];
  EXPECT_TRUE(changed[3] == changed[2]);
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(changed[k] == identity) << k;
}
