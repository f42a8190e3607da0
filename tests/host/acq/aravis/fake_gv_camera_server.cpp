// Serves a fake GigE Vision camera (fake_gv_camera.h) for the command-line
// tests, until it is killed:
//   colc_fake_gv_camera ADDRESS [--tables] [--user-sets FILE] [--refuse FEATURE]
// With --tables the camera has an integer black level, per-plane lookup
// tables, a colour transformation and user sets, and is set up as a user
// might have left it; with --user-sets it keeps its saved user sets in
// FILE and powers up with the one UserSetDefault names; with --refuse the
// camera fails every access to that feature.
// It prints "serving" once the camera answers.
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
  bool tables = false;
  std::string userSets, refused;
  bool usable = argc >= 2;
  for (int i = 2; usable && i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--tables")
      tables = true;
    else if (option == "--user-sets" && i + 1 < argc)
      userSets = argv[++i];
    else if (option == "--refuse" && i + 1 < argc)
      refused = argv[++i];
    else
      usable = false;
  }
  if (!usable || (!tables && !(userSets.empty() && refused.empty()))) {
    std::cerr << "usage: colc_fake_gv_camera ADDRESS [--tables] [--user-sets FILE] [--refuse FEATURE]\n";
    return 2;
  }
  try {
    FakeGvCamera camera(tables ? FakeGvCamera::Description::integerSettings : FakeGvCamera::Description::builtIn,
                        argv[1], userSets, refused);
    if (tables) {
      camera.setUpAsFound();
      camera.loadPowerUpSet();
    }
    std::cout << "serving" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& e) {
    std::cerr << "colc_fake_gv_camera: " << e.what() << "\n";
    return 1;
  }
}
