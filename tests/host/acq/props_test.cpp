#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "colc/host/improc.h"
#include "host/acq/stored_props.h"
#include "support/image_random.h"

namespace {

using Tap = kcContrastBrightnessProp::Channel;
using Plane = kc8BitInputLutProp::Channel;

std::vector<double> contrasts(const kcStoredAcqProps& p) {
  std::vector<double> values;
  for (int t = 0; t < p.numTaps(); ++t) values.push_back(p.contrast(static_cast<Tap>(t)));
  return values;
}

TEST(StoredAcqProps, TapWritesFollowTheirMask) {
  kcStoredAcqProps props(3);
  props.setContrastEx(0.7, 0b101);
  EXPECT_EQ(contrasts(props), (std::vector<double>{0.7, 0.5, 0.7}));
  props.setContrastEx(0.2, kcContrastBrightnessProp::kAllTaps);
  EXPECT_EQ(contrasts(props), (std::vector<double>{0.2, 0.2, 0.2}));
  props.setBrightnessEx(0.9, 0b10);
  EXPECT_EQ(props.brightness(kcContrastBrightnessProp::eTap1), 0.9);
  EXPECT_EQ(props.brightness(kcContrastBrightnessProp::eTap0), 0.5);
}

TEST(StoredAcqProps, RefusedWritesChangeNothing) {
  kcStoredAcqProps props(2);
  EXPECT_THROW(props.exposure(-1e-9), kcBadArgument);
  EXPECT_THROW(props.exposure(std::nan("")), kcBadArgument);
  EXPECT_THROW(props.exposure(INFINITY), kcBadArgument);
  EXPECT_THROW(props.setContrastEx(1.01, kcContrastBrightnessProp::kAllTaps), kcBadArgument);
  EXPECT_THROW(props.setBrightnessEx(std::nan(""), kcContrastBrightnessProp::kAllTaps), kcBadArgument);
  EXPECT_THROW(props.setContrastEx(0.1, 0b100), kcBadArgument);  // no tap 2
  EXPECT_THROW(props.contrast(kcContrastBrightnessProp::eTap2), kcBadArgument);
  EXPECT_THROW(props.inputLut(nullptr), kcBadPointer);
  EXPECT_THROW(props.inputLut(static_cast<Plane>(3)), kcBadArgument);
  EXPECT_EQ(props.exposure(), 0.01);
  EXPECT_EQ(contrasts(props), (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(props.brightness(kcContrastBrightnessProp::eTap1), 0.5);
  EXPECT_THROW(kcStoredAcqProps(0), kcBadArgument);
  EXPECT_THROW(kcStoredAcqProps(5), kcBadArgument);
}

TEST(StoredAcqProps, TablesLoadIntoAllPlanesOrOne) {
  kcStoredAcqProps props;
  for (int k = 0; k < 3; ++k)
    EXPECT_TRUE(std::equal(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::positive8BitLut + 256,
                           props.inputLut(static_cast<Plane>(k))));
  unsigned char inverse[256], half[256];
  for (int i = 0; i < 256; ++i) {
    inverse[i] = static_cast<unsigned char>(255 - i);
    half[i] = static_cast<unsigned char>(i / 2);
  }
  props.inputLut(inverse);
  props.inputLut(half, kc8BitInputLutProp::ePlane2);
  EXPECT_TRUE(std::equal(inverse, inverse + 256, props.inputLut(kc8BitInputLutProp::ePlane0)));
  EXPECT_TRUE(std::equal(inverse, inverse + 256, props.inputLut(kc8BitInputLutProp::ePlane1)));
  EXPECT_TRUE(std::equal(half, half + 256, props.inputLut(kc8BitInputLutProp::ePlane2)));
}

TEST(AcqProps, MissingPropertyThrowsBadPointer) {
  kcStoredAcqProps stored;
  const kcAcqProps none(nullptr, nullptr, nullptr);
  EXPECT_THROW(none.exposureProp(), kcBadPointer);
  EXPECT_THROW(none.contrastBrightnessProp(), kcBadPointer);
  EXPECT_THROW(none.inputLutProp(), kcBadPointer);
  EXPECT_EQ(&stored.props().exposureProp(), static_cast<kcExposureProp*>(&stored));
}

TEST(TriggerModels, AreDistinctLongLivedObjects) {
  EXPECT_NE(&kfManualTrigger(), &kfFreeRunTrigger());
  EXPECT_EQ(&kfManualTrigger(), &kfManualTrigger());
  EXPECT_FALSE(kfManualTrigger().isFreeRunning());
  EXPECT_TRUE(kfFreeRunTrigger().isFreeRunning());
  EXPECT_STREQ(kfManualTrigger().name(), "manual");
}

TEST(AcqImage, UnboundImageOffersNothing) {
  const kcAcqImage image;
  EXPECT_FALSE(image.isBound());
  EXPECT_FALSE(image.isConversionSupported(eImageFormatGrey8));
  EXPECT_FALSE(image.get3PlanePelBuffer().isBound());
  EXPECT_THROW(image.getGrey8PelBuffer(), kcBadPointer);
}

TEST(AcqImage, GreyIsTheIntensityOfTheColourImage) {
  std::mt19937 rng(5);
  const kc3PlanePelBuffer color(colc_test::randomBuffer(rng, 9, 7), colc_test::randomBuffer(rng, 9, 7),
                                colc_test::randomBuffer(rng, 9, 7));
  const kcAcqImage image(color);
  ASSERT_TRUE(image.isConversionSupported(eImageFormatGrey8));
  ASSERT_TRUE(image.isConversionSupported(eImageFormat3Plane8));
  kcPelBuffer<unsigned char> expected;
  kfPelRGBToI(color, expected);
  EXPECT_TRUE(kfPelEqual(image.getGrey8PelBuffer(), expected));
  EXPECT_EQ(image.get3PlanePelBuffer().plane1().pointToRow(0), color.plane1().pointToRow(0));  // shared pels
}

}  // namespace
