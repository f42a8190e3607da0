#include <gtest/gtest.h>

#include "host/acq/sim/sim_camera.h"

namespace {

// The message of the kcBadArgument that options throw, or "" when none.
std::string refusal(const std::string& options) {
  try {
    kfOpenSimCamera(options);
  } catch (const kcBadArgument& e) {
    return e.what();
  }
  return "";
}

TEST(SimCameraOptions, EveryKeyReachesItsField) {
  const kcSimCameraConfig c = kfParseSimCameraOptions(
      "width=320, height=200,seed=7,x=10.5,y=20,rotation=-5,scale=0.8,noise=0.5,crosstalk=0.1,taps=2,"
      "fail-at=3,unbound-at=4,timeout-at=5,cancel-at=6,write-fail-at=7");
  EXPECT_EQ(c.width, 320);
  EXPECT_EQ(c.height, 200);
  EXPECT_EQ(c.seed, 7u);
  EXPECT_EQ(c.pose.x, 10.5);
  EXPECT_EQ(c.pose.y, 20.0);
  EXPECT_EQ(c.pose.rotation, -5.0);
  EXPECT_EQ(c.pose.scale, 0.8);
  EXPECT_EQ(c.noise, 0.5);
  EXPECT_EQ(c.crossTalk, 0.1);
  EXPECT_EQ(c.taps, 2);
  EXPECT_EQ(c.faults.failAt, 3u);
  EXPECT_EQ(c.faults.unboundAt, 4u);
  EXPECT_EQ(c.faults.timeoutAt, 5u);
  EXPECT_EQ(c.faults.cancelAt, 6u);
  EXPECT_EQ(c.faults.writeFailAt, 7u);

  const kcSimCameraConfig defaults = kfParseSimCameraOptions(" ");
  EXPECT_EQ(defaults.width, 1280);
  EXPECT_EQ(defaults.height, 1024);
  EXPECT_FALSE(defaults.pose.x.has_value());
  EXPECT_EQ(defaults.faults.failAt, 0u);
}

TEST(SimCameraOptions, RefusalsNameTheKey) {
  for (const std::string options : {"colour=1", "seed=-1", "scale=abc", "x=inf", "width=12.5", "noise",
                                    "seed=1,seed=2", "fail-at=1x", "rotation="}) {
    const std::string key = options.substr(0, options.find_first_of("=,"));
    const std::string message = refusal(options);
    EXPECT_NE(message.find("'" + key + "'"), std::string::npos) << options << " -> " << message;
  }
}

TEST(SimCameraOptions, OpeningRefusesValuesOutOfRange) {
  for (const char* options : {"width=8", "height=20000", "scale=0", "scale=-1", "noise=-0.1", "crosstalk=0.6", "taps=0", "taps=5"})
    EXPECT_NE(refusal(options), "") << options;
}

}  // namespace
