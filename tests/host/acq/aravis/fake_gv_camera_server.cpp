// Serves a fake GigE Vision camera (fake_gv_camera.h) for the command-line
// tests, until it is killed:
//   colc_fake_gv_camera ADDRESS [--tables] [--user-sets FILE] [--refuse FEATURE] [--stop-at ADDRESS|saved]
// With --tables the camera has an integer black level, per-plane lookup
// tables, a colour transformation and user sets, and is set up as a user
// might have left it; with --user-sets it keeps its saved user sets in
// FILE and powers up with the one UserSetDefault names; with --refuse the
// camera fails every access to that feature.
// With --stop-at ADDRESS (hexadecimal), the camera stops, as a process
// stopped by SIGSTOP, as soon as the register at ADDRESS changes, and
// prints "stopped" first: for tests to kill a program at that point of
// its writes. With --stop-at saved, it stops once it has saved a user
// set. Continued (SIGCONT), it serves on.
// It prints "serving" once the camera answers.
#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <string>
#include <thread>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
  bool tables = false;
  std::string userSets, refused;
  std::string stopAt;
  bool usable = argc >= 2;
  for (int i = 2; usable && i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--tables")
      tables = true;
    else if (option == "--user-sets" && i + 1 < argc)
      userSets = argv[++i];
    else if (option == "--refuse" && i + 1 < argc)
      refused = argv[++i];
    else if (option == "--stop-at" && i + 1 < argc)
      stopAt = argv[++i];
    else
      usable = false;
  }
  if (!usable || (!tables && !(userSets.empty() && refused.empty() && stopAt.empty()))) {
    std::cerr << "usage: colc_fake_gv_camera ADDRESS [--tables] [--user-sets FILE] [--refuse FEATURE] "
                 "[--stop-at ADDRESS|saved]\n";
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
    // The thread that looks runs before any other on the machine where it
    // may (as root), so that a loaded machine does not let the writing
    // program run on unseen.
    if (!stopAt.empty()) {
      sched_param realTime{};
      realTime.sched_priority = sched_get_priority_min(SCHED_FIFO);
      pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime);
    }
    if (stopAt == "saved") {
      while (camera.userSetsSaved() == 0) std::this_thread::yield();
    } else if (!stopAt.empty()) {
      // Looked for without a pause: the program writing to the camera must
      // not get many more of its writes answered.
      const auto address = static_cast<std::uint32_t>(std::stoul(stopAt, nullptr, 16));
      const std::uint32_t found = camera.reg(address);
      while (camera.reg(address) == found) std::this_thread::yield();
    }
    if (!stopAt.empty()) {
      std::cout << "stopped" << std::endl;
      raise(SIGSTOP);
    }
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& e) {
    std::cerr << "colc_fake_gv_camera: " << e.what() << "\n";
    return 1;
  }
}
