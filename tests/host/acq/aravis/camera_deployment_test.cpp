#include "host/acq/aravis/camera_deployment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

#include "camera_features.h"
#include "colc/driver/acquisition.h"
#include "colc/host/exceptions.h"
#include "colc/records/color_correction.h"
#include "fake_gv_camera.h"
#include "host/acq/aravis/found_state_file.h"

namespace {

// A mild cross-plane correction that clips nothing in the chart's colours.
const kcColorCorrection::Coefficients kMixing = {
    {{1.1, -0.05, 0.02, -0.01}, {0.03, 0.95, 0.04, 0.02}, {-0.02, 0.06, 1.2, -0.03}}};

kcColorTransformationValues valuesOf(const kcColorCorrection::Coefficients& c) {
  kcColorTransformationValues v{};
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t j = 0; j < 3; ++j) v[3 * k + j] = c[k][j];
    v[9 + k] = c[k][3];
  }
  return v;
}

kcDeploymentPlan planAt(const kcColorCameraSettings& settings) {
  kcDeploymentPlan plan;
  plan.exposure = settings.exposure();
  plan.contrast = settings.contrast();
  plan.brightness = settings.brightness();
  return plan;
}

// One frame from the camera: at the settings through the identity tables,
// as a calibration takes it, or, without settings, as the camera is set up.
kc3PlanePelBuffer frameOf(const FakeGvCamera& camera, const kcColorCameraSettings* settings) {
  kcAravisOptions options;
  options.deviceId = camera.address();
  const kcPtrHandle<kcAravisAcqFifo> aravis = kfOpenAravisCamera(options);
  const kcPtrHandle<kcAcqFifo> fifo = aravis;
  kfSwitchToManualTrigger(fifo);
  if (settings) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
  kcAcquireInfo info;
  bool failed = false;
  const kc3PlanePelBuffer image =
      kfAcquireImage(fifo, settings ? *settings : kfCurrentCameraSettings(fifo), info, failed)->get3PlanePelBuffer();
  EXPECT_FALSE(failed);
  aravis->close();
  return image;
}

int largestDifference(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  int most = 0;
  for (int k = 0; k < 3; ++k)
    for (long y = 0; y < a.height(); ++y)
      for (long x = 0; x < a.width(); ++x)
        most = std::max(most, std::abs(a.pelPlane(k).pointToRow(a.window().top + y)[x] -
                                       b.pelPlane(k).pointToRow(b.window().top + y)[x]));
  return most;
}

}  // namespace

// The camera's colour transformation, written from an encoded-domain
// correction with its tables off, gives the pels of that correction
// applied by colc to a frame taken at the same settings, and the
// transformation's values read back (over the protocol) as written.
TEST(CameraDeployment, TheColourTransformationGivesTheCorrectionsPels) {
  FakeGvCamera camera(FakeGvCamera::Description::integerSettings);
  camera.setUpAsFound();
  const kcColorCameraSettings settings(0.03, 0.2, 0.4);
  const kc3PlanePelBuffer start = frameOf(camera, &settings);

  {
    kcCameraDeployment deployment(camera.address(), nullptr);
    ASSERT_TRUE(deployment.features().transformation.present);
    EXPECT_FALSE(deployment.features().transformation.on);
    kcDeploymentPlan plan = planAt(settings);
    plan.transformation = valuesOf(kMixing);
    kcLutTables off;
    for (kcLutTable& t : off) std::copy_n(kc8BitInputLutProp::positive8BitLut, 256, t.begin());
    plan.tables = off;
    deployment.write(plan);
  }  // lets go of the camera

  const std::map<std::string, std::string> features = readEveryFeature(camera.address());
  EXPECT_EQ(features.at("ColorTransformationEnable"), "true");
  EXPECT_EQ(features.at("ColorTransformationValue[Gain01]"), "-0.0500000007");  // the float nearest -0.05
  EXPECT_EQ(features.at("ColorTransformationValue[Offset2]"), "-0.0299999993");
  EXPECT_EQ(features.at("ColorTransformationValueSelector"), "Gain00");  // the selector as found
  EXPECT_EQ(features.at("LUTEnable[Red]"), "0");

  const kc3PlanePelBuffer deployed = frameOf(camera, nullptr);
  const kc3PlanePelBuffer corrected = kcColorCorrection(kcColorCorrection::Domain::encoded, kMixing).apply(start);
  EXPECT_LE(largestDifference(deployed, corrected), 1);
  EXPECT_GT(largestDifference(deployed, start), 5);  // the transformation did change the pels
}

// A write the camera refuses, after the settings, tables and
// transformation were written, puts every one of them back as found.
TEST(CameraDeployment, ARefusedWritePutsEverythingBack) {
  FakeGvCamera camera(FakeGvCamera::Description::integerSettings, "127.0.0.1", "", "UserSetSave");
  camera.setUpAsFound();
  const std::map<std::string, std::string> found = readEveryFeature(camera.address());

  kcDeploymentPlan plan = planAt({0.05, 0.7, 0.1});
  plan.transformation = valuesOf(kMixing);
  kcLutTables inverted;
  for (kcLutTable& t : inverted)
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
  plan.tables = inverted;
  plan.userSet = "UserSet1";
  plan.makeDefault = true;
  try {
    kcCameraDeployment(camera.address(), nullptr).write(plan);
    FAIL() << "the refused save went unnoticed";
  } catch (const kcIOError& e) {
    EXPECT_NE(e.text().find("UserSetSave"), std::string::npos) << e.text();
    EXPECT_NE(e.text().find("put back as found"), std::string::npos) << e.text();
  }
  EXPECT_EQ(featureChanges(found, readEveryFeature(camera.address())), "");
}

// A user set the camera does not have, or a power-up set it cannot
// choose, is refused before anything is read or written.
TEST(CameraDeployment, AUserSetTheCameraLacksIsRefusedFirst) {
  FakeGvCamera camera(FakeGvCamera::Description::integerSettings);
  camera.setUpAsFound();
  const std::map<std::string, std::string> found = readEveryFeature(camera.address());
  {
    kcCameraDeployment deployment(camera.address(), nullptr);
    kcDeploymentPlan plan = planAt({0.05, 0.7, 0.1});
    plan.userSet = "UserSet9";
    EXPECT_THROW(deployment.write(plan), kcBadArgument);
    EXPECT_THROW(deployment.dryRun(plan), kcBadArgument);
  }  // lets go of the camera
  EXPECT_EQ(featureChanges(found, readEveryFeature(camera.address())), "");
}

// What a killed deployment found of the colour transformation and the
// user sets is put back by the next run that opens the camera, from the
// file it left; a file with a line that cannot be read is named, and kept.
TEST(CameraDeployment, WhatAKilledDeploymentFoundIsPutBackFromItsFile) {
  FakeGvCamera camera(FakeGvCamera::Description::integerSettings);
  camera.setUpAsFound();
  const std::string folder = testing::TempDir() + "colc-found-transformation";
  const kcFoundStateFile file(folder, "Aravis Fake (COLC-TEST)");
  // As found: the identity switched off, Gain00 selected, the Default set.
  std::string identity;
  for (const char* v : {"1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "0"}) identity += std::string(" ") + v;
  file.write({"ct-selector RGBtoRGB", "ct-value-selector Gain00", "ct-values RGBtoRGB 0" + identity,
              "state UserSetDefault % % text Default", "state UserSetSelector % % text Default"});
  // Left by the killed run: a transformation switched on, another value
  // selected, UserSet1 the power-up set.
  for (std::uint32_t i = 0; i < 12; ++i)
    camera.setReg(FakeGvCamera::kColorTransformationValue + 4 * i, std::bit_cast<std::uint32_t>(0.5f));
  camera.setReg(FakeGvCamera::kColorTransformationEnable, 1);
  camera.setReg(FakeGvCamera::kColorTransformationValueSelector, 7);
  camera.setReg(FakeGvCamera::kUserSetDefault, 1);
  camera.setReg(FakeGvCamera::kUserSetSelector, 1);

  kcCameraDeployment(camera.address(), nullptr, folder);
  const std::map<std::string, std::string> now = readEveryFeature(camera.address());
  EXPECT_EQ(now.at("ColorTransformationEnable"), "false");
  EXPECT_EQ(now.at("ColorTransformationValue[Gain00]"), "1");
  EXPECT_EQ(now.at("ColorTransformationValue[Gain01]"), "0");
  EXPECT_EQ(now.at("ColorTransformationValueSelector"), "Gain00");
  EXPECT_EQ(now.at("UserSetDefault"), "Default");
  EXPECT_EQ(now.at("UserSetSelector"), "Default");
  EXPECT_FALSE(file.read());  // put back: the file is gone

  file.write({"ct-values RGBtoRGB 1 0.5"});
  try {
    kcCameraDeployment(camera.address(), nullptr, folder);
    FAIL() << "a line that cannot be read went unnoticed";
  } catch (const kcIOError& e) {
    EXPECT_NE(e.text().find(file.path()), std::string::npos) << e.text();
    EXPECT_NE(e.text().find("cannot be read"), std::string::npos) << e.text();
  }
  EXPECT_TRUE(file.read());
  file.remove();
}
