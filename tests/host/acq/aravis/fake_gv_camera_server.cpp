// Serves a fake GigE Vision camera (fake_gv_camera.h) for the command-line
// tests, until it is killed: colc_fake_gv_camera ADDRESS. It prints
// "serving" once the camera answers.
#include <chrono>
#include <iostream>
#include <thread>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: colc_fake_gv_camera ADDRESS\n";
    return 2;
  }
  try {
    FakeGvCamera camera(false, argv[1]);
    std::cout << "serving" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& e) {
    std::cerr << "colc_fake_gv_camera: " << e.what() << "\n";
    return 1;
  }
}
