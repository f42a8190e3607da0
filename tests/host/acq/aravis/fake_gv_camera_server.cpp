// Serves a fake GigE Vision camera (fake_gv_camera.h) for the command-line
// tests, until it is killed: colc_fake_gv_camera ADDRESS [--tables]. With
// --tables the camera has an integer black level and per-plane lookup
// tables, and is set up as a user might have left it. It prints "serving"
// once the camera answers.
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
  const bool tables = argc == 3 && std::string(argv[2]) == "--tables";
  if (argc != 2 && !tables) {
    std::cerr << "usage: colc_fake_gv_camera ADDRESS [--tables]\n";
    return 2;
  }
  try {
    FakeGvCamera camera(tables ? FakeGvCamera::Description::integerSettings : FakeGvCamera::Description::builtIn,
                        argv[1]);
    if (tables) camera.setUpAsFound();
    std::cout << "serving" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& e) {
    std::cerr << "colc_fake_gv_camera: " << e.what() << "\n";
    return 1;
  }
}
