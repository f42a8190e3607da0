// Reading and writing image files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "colc/host/improc.h"
#include "host/imaging/image_file.h"
#include "support/image_random.h"
#include "support/image_scratch.h"

using colc_test::randomBuffer;
using colc_test::windowPel;

namespace {

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void putContent(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool samePlanes(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  return kfPelEqual(a.plane0(), b.plane0()) && kfPelEqual(a.plane1(), b.plane1()) &&
         kfPelEqual(a.plane2(), b.plane2());
}

// Expects kcIOError whose message names the file and contains cause.
template <class Action>
void expectIOError(Action action, const std::string& path, const std::string& cause) {
  try {
    action();
    ADD_FAILURE() << "no kcIOError for " << path;
  } catch (const kcIOError& e) {
    EXPECT_NE(e.text().find(path), std::string::npos) << e.text();
    EXPECT_NE(e.text().find(cause), std::string::npos) << e.text();
  }
}

class ImageFile : public ::testing::Test {
 protected:
  // A colour image whose window is only part of its pels, so that writing
  // must take the window and nothing else.
  kc3PlanePelBuffer randomColour(long width, long height) {
    kc3PlanePelBuffer image(randomBuffer(rng_, width + 3, height + 2), randomBuffer(rng_, width + 3, height + 2),
                            randomBuffer(rng_, width + 3, height + 2));
    image.offset(-1, 5);
    image.window(kcPelRect(0, 6, width, 6 + height), false);
    return image;
  }

  std::mt19937 rng_{31};
  colc_test::ImageScratchDir dir_;
};

TEST_F(ImageFile, LosslessFormatsGiveBackTheWindowPlaneByPlane) {
  const kc3PlanePelBuffer image = randomColour(17, 11);
  for (const char* name : {"a.png", "b.TIF", "c.tiff", "d.bmp"}) {
    kfWriteImageFile(dir_.file(name), image);
    const kc3PlanePelBuffer back = kfReadColorImageFile(dir_.file(name));
    EXPECT_TRUE(samePlanes(back, image)) << name;  // planes in order, not swapped
    EXPECT_EQ(back.window(), kcPelRect(0, 0, 17, 11)) << name;
  }

  const kcPelBuffer_const<unsigned char> grey = image.plane1();
  kfWriteImageFile(dir_.file("grey.png"), grey);
  EXPECT_TRUE(kfPelEqual(kfReadGreyImageFile(dir_.file("grey.png")), grey));
  const kc3PlanePelBuffer greyAsColour = kfReadColorImageFile(dir_.file("grey.png"));
  EXPECT_TRUE(samePlanes(greyAsColour, kc3PlanePelBuffer(image.pelPlane(1), image.pelPlane(1), image.pelPlane(1))));
}

TEST_F(ImageFile, ColourFilesReadAsGreyGiveTheirIntensity) {
  const kc3PlanePelBuffer image = randomColour(9, 7);
  kfWriteImageFile(dir_.file("colour.png"), image);
  kcPelBuffer<unsigned char> intensity;
  kfPelRGBToI(image, intensity);
  EXPECT_TRUE(kfPelEqual(kfReadGreyImageFile(dir_.file("colour.png")), intensity));
}

TEST_F(ImageFile, JpegKeepsASmoothImageClose) {
  kcPelBuffer<unsigned char> r(64, 48), g(64, 48), b(64, 48);
  for (long y = 0; y < 48; ++y)
    for (long x = 0; x < 64; ++x) {
      r.pointToRow(y)[x] = static_cast<unsigned char>(2 * x + y);
      g.pointToRow(y)[x] = static_cast<unsigned char>(200 - 3 * y);
      b.pointToRow(y)[x] = static_cast<unsigned char>(60 + x);
    }
  const kc3PlanePelBuffer image(r, g, b);
  kfWriteImageFile(dir_.file("smooth.JPEG"), image);
  const kc3PlanePelBuffer back = kfReadColorImageFile(dir_.file("smooth.JPEG"));
  for (int k = 0; k < 3; ++k) {
    std::vector<unsigned long> histogram;
    kfPelHistogram(kfPelSub(back.pelPlane(k), image.pelPlane(k), 2), histogram);
    EXPECT_LT(kcHistoStats(histogram, false).mean(), 2.0) << "plane " << k;
  }
}

TEST_F(ImageFile, BadFilesAreReportedWithTheirCause) {
  const std::string missing = dir_.file("missing.png");
  expectIOError([&] { kfReadColorImageFile(missing); }, missing, "No such file");
  expectIOError([&] { kfReadGreyImageFile(dir_.path().string()); }, dir_.path().string(), "directory");

  const std::string empty = dir_.file("empty.png");
  putContent(empty, "");
  expectIOError([&] { kfReadColorImageFile(empty); }, empty, "empty");

  const std::string text = dir_.file("text.png");
  putContent(text, "this is no image at all");
  expectIOError([&] { kfReadColorImageFile(text); }, text, "corrupt");

  // The first half of real files: the decoders must not hand back a partial image.
  const kc3PlanePelBuffer image = randomColour(40, 30);
  for (const char* name : {"cut.png", "cut.jpg", "cut.bmp", "cut.tif"}) {
    const std::string path = dir_.file(name);
    kfWriteImageFile(path, image);
    const std::string whole = contentOf(path);
    putContent(path, whole.substr(0, whole.size() / 2));
    EXPECT_THROW(kfReadColorImageFile(path), kcIOError) << name;
  }
}

TEST_F(ImageFile, FailedWritesLeaveNoTrace) {
  const std::string target = dir_.file("keep.png");
  putContent(target, "old content");
  const kc3PlanePelBuffer image = randomColour(5, 5);

  kc3PlanePelBuffer emptyWindow = image;
  emptyWindow.window(kcPelRect(0, 6, 0, 11), false);
  EXPECT_THROW(kfWriteImageFile(target, emptyWindow), kcBadArgument);
  EXPECT_THROW(kfWriteImageFile(target, kc3PlanePelBuffer()), kcBadPointer);
  EXPECT_THROW(kfWriteImageFile(target, kcPelBuffer_const<unsigned char>()), kcBadPointer);
  const std::string unknown = dir_.file("keep.gif");
  expectIOError([&] { kfWriteImageFile(unknown, image); }, unknown, "unknown image file type");
  const std::string nowhere = dir_.file("no/such/dir/x.png");
  expectIOError([&] { kfWriteImageFile(nowhere, image); }, nowhere, "No such file");

  EXPECT_EQ(contentOf(target), "old content");
  long files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind

  kfWriteImageFile(target, image);  // replaces the old content in one step
  EXPECT_TRUE(samePlanes(kfReadColorImageFile(target), image));
}

}  // namespace
