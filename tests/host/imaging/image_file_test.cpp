// Reading and writing image files.
#include "host/imaging/image_file.h"
#include "host/imaging/image_header.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

#include "support/image_random.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class ImageFile : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return dir_ / name; }
  bool readsBack(const std::string& name) const {
    const kc3PlanePelBuffer back = kfReadColorImageFile(file(name));
    return kfPelEqual(back.plane0(), r_) && kfPelEqual(back.plane1(), g_) && kfPelEqual(back.plane2(), b_);
  }

  const ScratchFolder dir_;
  std::mt19937 rng_{31};
  const kcPelRect window_{0, 6, 17, 17};  // only part of the pels gets written
  kcPelBuffer<unsigned char> r_ = colc_test::randomBuffer(rng_, 20, 13, -1, 5, &window_);
  kcPelBuffer<unsigned char> g_ = colc_test::randomBuffer(rng_, 20, 13, -1, 5, &window_);
  kcPelBuffer<unsigned char> b_ = kfPelMap(r_, std::vector<unsigned char>(256, 200));
  kc3PlanePelBuffer image_{r_, g_, b_};
};

TEST_F(ImageFile, LosslessFormatsGiveBackTheWindowInPlaneOrder) {
  for (const char* name : {"a.png", "b.TIF", "c.tiff", "d.bmp"}) {
    kfWriteImageFile(file(name), image_);
    EXPECT_TRUE(readsBack(name)) << name;
  }
  EXPECT_EQ(cv::imread(file("a.png")).at<cv::Vec3b>(0, 0)[0], 200);  // plane 2 is blue to other readers too
  kfWriteImageFile(file("grey.png"), image_.plane1());
  EXPECT_TRUE(kfPelEqual(kfReadGreyImageFile(file("grey.png")), g_));
  EXPECT_TRUE(kfPelEqual(kfReadColorImageFile(file("grey.png")).plane2(), g_));
}

TEST_F(ImageFile, BadFilesThrowNamingFileAndCause) {
  try {
    kfReadColorImageFile(file("missing.png"));
    ADD_FAILURE() << "a missing file was read";
  } catch (const kcIOError& e) {
    EXPECT_NE(e.text().find(file("missing.png") + "': No such file"), std::string::npos) << e.text();
  }
  std::ofstream(file("text.png")) << "no image at all";
  EXPECT_THROW(kfReadColorImageFile(file("text.png")), kcIOError);
  // Decoders must not hand back the first half of a file as an image.
  for (const char* name : {"cut.png", "cut.jpg", "cut.bmp", "cut.tif"}) {
    kfWriteImageFile(file(name), image_);
    fs::resize_file(file(name), fs::file_size(file(name)) / 2);
    EXPECT_THROW(kfReadColorImageFile(file(name)), kcIOError) << name;
  }
}

// The size comes from the header of each format; an image beyond the limits
// is refused from it, however few bytes carry its pels.
TEST_F(ImageFile, SizesComeFromHeadersAndLargeImagesAreRefusedBeforeDecoding) {
  for (const char* name : {"a.png", "b.tif", "c.bmp", "d.jpg"}) {
    kfWriteImageFile(file(name), image_);
    std::ifstream in(file(name), std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    const std::optional<kcImageFileSize> size = kfImageFileSize(bytes);
    const kc3PlanePelBuffer read = kfReadColorImageFile(file(name));
    ASSERT_TRUE(size) << name;
    EXPECT_EQ(size->width, static_cast<unsigned long>(read.width())) << name;
    EXPECT_EQ(size->height, static_cast<unsigned long>(read.height())) << name;
    EXPECT_THROW(kfReadColorImageFile(file(name), size->width * size->height - 1), kcImageTooLarge) << name;
    EXPECT_FALSE(kfImageFileSize(std::span(bytes).first(12))) << name;
  }
  // A PNG that declares 30000 x 30000 pels: the decoder would ask for 2.7 GB.
  std::fstream huge(file("a.png"), std::ios::binary | std::ios::in | std::ios::out);
  huge.seekp(16);
  huge.write("\0\0\x75\x30\0\0\x75\x30", 8);
  huge.close();
  EXPECT_THROW(kfReadColorImageFile(file("a.png")), kcImageTooLarge);
}

TEST_F(ImageFile, FailedWritesLeaveTheTargetAndNoTemporaryFile) {
  std::ofstream(file("keep.png")) << "old";
  kc3PlanePelBuffer empty = image_;
  empty.window(kcPelRect(0, 6, 0, 17), false);
  EXPECT_THROW(kfWriteImageFile(file("keep.png"), empty), kcBadArgument);
  EXPECT_THROW(kfWriteImageFile(file("keep.gif"), image_), kcIOError);
  EXPECT_THROW(kfWriteImageFile(file("no/dir/keep.png"), image_), kcIOError);
  EXPECT_EQ(fs::file_size(file("keep.png")), 3u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
  kfWriteImageFile(file("keep.png"), image_);
  EXPECT_TRUE(readsBack("keep.png"));
}

}  // namespace
