// A scratch directory for tests that write image files: unique per object,
// under $COLC_TEST_TMP (set by CTest) or the system's temporary directory,
// removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace colc_test {

class ImageScratchDir {
 public:
  ImageScratchDir();
  ~ImageScratchDir();
  ImageScratchDir(const ImageScratchDir&) = delete;
  ImageScratchDir& operator=(const ImageScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace colc_test
