// A PNG file's print resolution: the pHYs chunk sits after the header with
// a correct CRC, and the file still reads as the same image.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>

#include "host/imaging/cv_bridge.h"
#include "host/imaging/image_file.h"
#include "host/imaging/png_resolution.h"
#include "support/scratch_folder.h"

namespace {

std::vector<unsigned char> pngOf(const cv::Mat& pels) {
  std::vector<unsigned char> bytes;
  cv::imencode(".png", pels, bytes);
  return bytes;
}

std::vector<unsigned char> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// 72 dpi is 2835 pels per metre; the chunk that countless PNG files carry
// for it, CRC included, is the oracle.
TEST(PngResolution, TheChunkFollowsTheHeaderAsOtherWritersWriteIt) {
  const cv::Mat pels(7, 5, CV_8UC3, cv::Scalar(10, 200, 30));
  const std::vector<unsigned char> plain = pngOf(pels);
  const std::vector<unsigned char> stated = kfPngWithResolution(plain, 2835);
  const std::vector<unsigned char> chunk{0, 0, 0, 9, 'p', 'H', 'Y', 's', 0, 0, 0x0B, 0x13,
                                         0, 0, 0x0B, 0x13, 1, 0x00, 0x9A, 0x9C, 0x18};
  ASSERT_EQ(stated.size(), plain.size() + chunk.size());
  EXPECT_TRUE(std::equal(stated.begin(), stated.begin() + 33, plain.begin()));
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), stated.begin() + 33));
  EXPECT_TRUE(std::equal(stated.begin() + 33 + 21, stated.end(), plain.begin() + 33));
  EXPECT_EQ(cv::norm(cv::imdecode(stated, cv::IMREAD_COLOR), pels, cv::NORM_INF), 0.0);

  EXPECT_THROW(kfPngWithResolution(stated, 2835), kcBadArgument);  // already stated
  EXPECT_THROW(kfPngWithResolution(plain, 0), kcBadArgument);
  EXPECT_THROW(kfPngWithResolution({plain.begin(), plain.begin() + 20}, 2835), kcBadArgument);
}

TEST(PngResolution, APrintImageFileStatesItOrIsRefused) {
  ScratchFolder folder;
  const kc3PlanePelBuffer image = kf3PlanePelBufferFromBGR(cv::Mat(4, 6, CV_8UC3, cv::Scalar(1, 2, 3)));
  const std::string png = (folder / "print.png");
  kfWritePrintImageFile(png, image, 11811);  // 300 dpi
  const std::vector<unsigned char> bytes = fileBytes(png);
  ASSERT_GT(bytes.size(), 50u);
  EXPECT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "pHYs");
  EXPECT_EQ((bytes[41] << 24) | (bytes[42] << 16) | (bytes[43] << 8) | bytes[44], 11811);
  EXPECT_EQ(kfReadColorImageFile(png).width(), 6);

  EXPECT_THROW(kfWritePrintImageFile((folder / "print.jpg"), image, 11811), kcBadArgument);
  EXPECT_THROW(kfWritePrintImageFile((folder / "zero.png"), image, 0), kcBadArgument);
}
