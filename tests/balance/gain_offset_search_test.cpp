#include "colc/balance/gain_offset_search.h"

#include <gtest/gtest.h>

#include <memory>

TEST(GainOffsetSearch, EndsWhenARoundCanNoLongerChangeAnything) {
  // Offset 9.5 sits on a rounding edge: the dark pairs at 10 want m0 = 10,
  // and any lower offset drops m0. Source value 1 maps to 10 at gains 0.25
  // and 0.75 alike but to 11 at 1.25. So every round's runner-up is
  // (gain - step, offset): the offset step halves down to 0.0 while the
  // gain step stays at 0.5, and from then on every round is the same.
  auto table = std::make_unique<kcJointTable>();
  (*table)[kDarkSaturatedRow][10] = 50;
  (*table)[kfJointTableRow(1)][10] = 50;
  double gain = 0.75, offset = 9.5, rmsError = -1.0;
  const kcGainOffsetSearch search = kfRefineGainOffset(*table, gain, offset, rmsError);
  EXPECT_TRUE(search.stalled);
  EXPECT_EQ(search.gainStep, 0.5);
  EXPECT_EQ(search.offsetStep, 0.0);
  EXPECT_EQ(gain, 0.75);
  EXPECT_EQ(offset, 9.5);
  EXPECT_EQ(rmsError, 0.0);
}
