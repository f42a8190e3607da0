#include <gtest/gtest.h>

#include "host/acq/sim/sim_camera.h"

namespace {

TEST(SimCameraOptions, KeysReachTheirFields) {
  const kcSimCameraConfig c = kfParseSimCameraOptions(
      "width=320, height=200,seed=7,x=10.5,rotation=-5,scale=0.8,noise=0.5,crosstalk=0.1,taps=2,cancel-at=6");
  EXPECT_EQ(std::make_tuple(c.width, c.height, c.seed, c.pose.x, c.pose.y, c.pose.rotation, c.pose.scale),
            std::make_tuple(320L, 200L, 7UL, std::optional(10.5), std::optional<double>(), -5.0, 0.8));
  EXPECT_EQ(std::make_tuple(c.noise, c.crossTalk, c.taps, c.faults.cancelAt, c.faults.failAt),
            std::make_tuple(0.5, 0.1, 2, 6UL, 0UL));
}

TEST(SimCameraOptions, RefusalsNameTheKey) {
  for (const std::string options : {"colour=1", "seed=-1", "scale=abc", "x=inf", "width=12.5", "noise", "seed=1,seed=2",
                                    "rotation=", "width=8", "scale=0", "crosstalk=0.6", "taps=5"}) {
    const std::string key = options.substr(0, options.find_first_of("=,"));
    try {
      kfOpenSimCamera(options);
      ADD_FAILURE() << options << " accepted";
    } catch (const kcBadArgument& e) {
      EXPECT_NE(std::string(e.what()).find(key), std::string::npos) << options << " -> " << e.what();
    }
  }
}

}  // namespace
