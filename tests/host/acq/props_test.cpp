#include <gtest/gtest.h>

#include <cmath>

#include "host/acq/stored_props.h"

namespace {

TEST(StoredAcqProps, WritesReachTheirTapsAndRefusalsChangeNothing) {
  kcStoredAcqProps props(3);
  props.setContrastEx(0.7, 0b101);
  EXPECT_EQ(props.contrast(kcContrastBrightnessProp::eTap2), 0.7);
  EXPECT_EQ(props.contrast(kcContrastBrightnessProp::eTap1), 0.5);
  EXPECT_THROW(props.exposure(-1e-9), kcBadArgument);
  EXPECT_THROW(props.exposure(std::nan("")), kcBadArgument);
  EXPECT_THROW(props.setContrastEx(1.01, kcContrastBrightnessProp::kAllTaps), kcBadArgument);
  EXPECT_THROW(props.setBrightnessEx(0.1, 0b1000), kcBadArgument);  // no tap 3
  EXPECT_THROW(props.contrast(kcContrastBrightnessProp::eTap3), kcBadArgument);
  EXPECT_THROW(props.inputLut(nullptr), kcBadPointer);
  EXPECT_EQ(props.exposure(), 0.01);
  EXPECT_EQ(props.contrast(kcContrastBrightnessProp::eTap0), 0.7);
  EXPECT_EQ(props.brightness(kcContrastBrightnessProp::eTap1), 0.5);
  EXPECT_THROW(kcAcqProps(nullptr, nullptr, nullptr).inputLutProp(), kcBadPointer);
}

}  // namespace
