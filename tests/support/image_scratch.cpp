#include "support/image_scratch.h"

#include <cstdlib>
#include <random>

namespace colc_test {

ImageScratchDir::ImageScratchDir() {
  const char* root = std::getenv("COLC_TEST_TMP");
  const std::filesystem::path base = root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(base);
  std::random_device entropy;
  for (;;) {
    path_ = base / ("images-" + std::to_string(entropy()));
    if (std::filesystem::create_directory(path_)) return;
  }
}

ImageScratchDir::~ImageScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace colc_test
