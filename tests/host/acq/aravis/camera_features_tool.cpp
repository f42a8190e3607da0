// Prints every feature of a camera, one "name=value" line each
// (camera_features.h), for the command-line tests to compare before and
// after a run: colc_camera_features ADDRESS.
#include <iostream>

#include "camera_features.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: colc_camera_features ADDRESS\n";
    return 2;
  }
  try {
    for (const auto& [name, value] : readEveryFeature(argv[1])) std::cout << name << "=" << value << "\n";
  } catch (const std::exception& e) {
    std::cerr << "colc_camera_features: " << e.what() << "\n";
    return 1;
  }
}
