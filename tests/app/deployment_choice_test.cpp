// What a stored calibration becomes on a camera, by what the camera offers.
#include <gtest/gtest.h>

#include "app/deployment.h"

namespace {

StoredCalibration calibration(bool positiveLut = true) {
  StoredCalibration c;
  c.result.exposure(0.02);
  c.result.contrast(0.25);
  c.result.brightness(0.4);
  c.result.positive8BitLut(positiveLut);
  std::vector<kcColorCalibrationChannelResult> channels(3);
  channels[0].init(1.2, -5.0, 1.0);
  channels[1].init(1.0, 0.0, 1.0);  // the identity: an empty map
  channels[2].init(0.9, 3.0, 1.0);
  c.result.channelResults(channels);
  return c;
}

kcColorCorrection correction(kcColorCorrection::Domain domain, double gain00 = 1.3) {
  return {domain, {{{gain00, 0.1, -0.05, 0.01}, {0.0, 1.0, 0.0, 0.0}, {0.02, -0.1, 1.1, -0.02}}}};
}

// Exposure, gain, black level, per-plane tables and a transformation of -4 .. 4.
kcDeploymentFeatures camera() {
  kcDeploymentFeatures f;
  for (kcScaledFeature* s : {&f.map.exposure, &f.map.gain, &f.map.blackLevel}) *s = {"X", false, 0.0, 100.0, 0.0};
  f.map.lut.present = true;
  f.map.lut.selectors = {"Red", "Green", "Blue"};
  f.transformation = {true, "RGBtoRGB", -4.0, 4.0, false};
  return f;
}

bool isIdentity(const kcLutTable& t) {
  for (std::size_t i = 0; i < 256; ++i)
    if (t[i] != i) return false;
  return true;
}

}  // namespace

TEST(DeploymentChoice, PelMapsGoIntoTheTablesPlaneByPlane) {
  const StoredCalibration c = calibration();
  const DeploymentChoice choice = chooseDeployment(c, camera(), {1, true});
  ASSERT_TRUE(choice.plan.tables);
  EXPECT_TRUE(std::equal(c.result.channelResults()[0].pelmap().begin(), c.result.channelResults()[0].pelmap().end(),
                         (*choice.plan.tables)[0].begin()));
  EXPECT_TRUE(isIdentity((*choice.plan.tables)[1]));
  EXPECT_FALSE(choice.plan.transformation);
  EXPECT_TRUE(choice.equalsApply);
  EXPECT_TRUE(choice.lacked.empty() && choice.leftOut.empty());
  EXPECT_EQ(choice.plan.exposure, 0.02);
  EXPECT_EQ(choice.plan.userSet, "UserSet1");
  EXPECT_TRUE(choice.plan.makeDefault);
  EXPECT_EQ(chooseDeployment(c, camera(), {}).plan.userSet, "");
}

TEST(DeploymentChoice, AnEncodedCorrectionGoesIntoTheTransformationWithTheTablesOff) {
  StoredCalibration c = calibration();
  c.correction = correction(kcColorCorrection::Domain::encoded);
  const DeploymentChoice choice = chooseDeployment(c, camera(), {});
  ASSERT_TRUE(choice.plan.transformation);
  const kcColorTransformationValues& v = *choice.plan.transformation;
  EXPECT_EQ(v[0], 1.3);    // Gain00
  EXPECT_EQ(v[1], 0.1);    // Gain01: red out of green
  EXPECT_EQ(v[7], -0.1);   // Gain21: blue out of green
  EXPECT_EQ(v[9], 0.01);   // Offset0
  EXPECT_EQ(v[11], -0.02); // Offset2
  ASSERT_TRUE(choice.plan.tables);
  for (const kcLutTable& t : *choice.plan.tables) EXPECT_TRUE(isIdentity(t));
  EXPECT_TRUE(choice.transformation && choice.equalsApply);

  // A camera that takes offsets in levels gets them scaled, gains as they
  // are; offsets the scale puts beyond the bounds leave the correction out.
  const DeploymentChoice levels = chooseDeployment(c, camera(), {0, false, 100.0});
  ASSERT_TRUE(levels.plan.transformation);
  EXPECT_EQ((*levels.plan.transformation)[0], 1.3);
  EXPECT_DOUBLE_EQ((*levels.plan.transformation)[9], 1.0);
  EXPECT_DOUBLE_EQ((*levels.plan.transformation)[11], -2.0);
  const DeploymentChoice beyond = chooseDeployment(c, camera(), {0, false, 255.0});
  EXPECT_FALSE(beyond.plan.transformation);
  ASSERT_EQ(beyond.leftOut.size(), 1u);
  EXPECT_NE(beyond.leftOut[0].find("its offset -5.1"), std::string::npos) << beyond.leftOut[0];
}

// A correction the transformation cannot express is left out, with why,
// and the pel maps go into the tables; the camera then differs from colc apply.
TEST(DeploymentChoice, ACorrectionTheCameraCannotExpressIsLeftOut) {
  kcDeploymentFeatures on = camera();
  on.transformation.on = true;
  kcDeploymentFeatures none = camera();
  none.transformation = {};
  const struct {
    kcColorCorrection correction;
    kcDeploymentFeatures features;
    const char* why;
  } cases[] = {
      {correction(kcColorCorrection::Domain::linear), camera(), "linear light"},
      {correction(kcColorCorrection::Domain::encoded, 4.5), camera(), "beyond the colour transformation's bounds"},
      {correction(kcColorCorrection::Domain::encoded), on, "was on"},
      {correction(kcColorCorrection::Domain::encoded), none, "no colour transformation"},
  };
  for (const auto& k : cases) {
    StoredCalibration c = calibration();
    c.correction = k.correction;
    const DeploymentChoice choice = chooseDeployment(c, k.features, {});
    EXPECT_FALSE(choice.plan.transformation) << k.why;
    ASSERT_EQ(choice.leftOut.size(), 1u) << k.why;
    EXPECT_NE(choice.leftOut[0].find(k.why), std::string::npos) << choice.leftOut[0];
    ASSERT_TRUE(choice.plan.tables) << k.why;
    EXPECT_FALSE(isIdentity((*choice.plan.tables)[0])) << k.why;
    EXPECT_FALSE(choice.equalsApply) << k.why;
  }
}

// Tables the camera cannot hold, and a calibration measured through the
// camera's own tables, leave the tables as found.
TEST(DeploymentChoice, TablesTheCameraCannotTakeAreLeftAsFound) {
  kcDeploymentFeatures shared = camera();
  shared.map.lut.selectors = {"Luminance"};
  kcDeploymentFeatures noTables = camera();
  noTables.map.lut = {};
  noTables.map.gain = {};
  for (const kcDeploymentFeatures& f : {shared, noTables}) {
    const DeploymentChoice choice = chooseDeployment(calibration(), f, {});
    EXPECT_FALSE(choice.plan.tables);
    EXPECT_FALSE(choice.equalsApply);
    EXPECT_FALSE(choice.lacked.empty());
  }
  EXPECT_EQ(chooseDeployment(calibration(), noTables, {}).lacked.front(),
            "a gain feature: the contrast is not written");

  StoredCalibration own = calibration(false);
  own.correction = correction(kcColorCorrection::Domain::encoded);
  const DeploymentChoice choice = chooseDeployment(own, camera(), {});
  EXPECT_FALSE(choice.plan.tables);
  EXPECT_FALSE(choice.plan.transformation);
  ASSERT_EQ(choice.leftOut.size(), 1u);
  EXPECT_NE(choice.leftOut[0].find("--no-positive-lut"), std::string::npos);
}
