// Prints the largest difference, in levels, between the pels of two
// colour images of one size, for the command-line tests:
// colc_image_difference A.png B.png.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "host/imaging/image_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: colc_image_difference A.png B.png\n";
    return 2;
  }
  try {
    const kc3PlanePelBuffer a = kfReadColorImageFile(argv[1]), b = kfReadColorImageFile(argv[2]);
    if (a.width() != b.width() || a.height() != b.height()) throw std::runtime_error("the images differ in size");
    int most = 0;
    for (int k = 0; k < 3; ++k)
      for (long y = 0; y < a.height(); ++y) {
        const unsigned char* p = a.pelPlane(k).pointToRow(a.window().top + y);
        const unsigned char* q = b.pelPlane(k).pointToRow(b.window().top + y);
        for (long x = 0; x < a.width(); ++x) most = std::max(most, std::abs(p[x] - q[x]));
      }
    std::cout << most << "\n";
  } catch (const std::exception& e) {
    std::cerr << "colc_image_difference: " << e.what() << "\n";
    return 1;
  }
}
