// Serves a fake GigE Vision camera (fake_gv_camera.h) for the command-line
// tests, until it is killed: colc_fake_gv_camera ADDRESS [--extra]. It
// prints "serving" once the camera answers.
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--extra") != 0) || argc > 3) {
    std::cerr << "usage: colc_fake_gv_camera ADDRESS [--extra]\n";
    return 2;
  }
  FakeCameraConfig config;
  config.address = argv[1];
  config.extraFeatures = argc == 3;
  try {
    FakeGvCamera camera(config);
    std::cout << "serving" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& e) {
    std::cerr << "colc_fake_gv_camera: " << e.what() << "\n";
    return 1;
  }
}
