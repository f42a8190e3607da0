// The zero-copy bridge between pel buffers and OpenCV matrices.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "host/imaging/cv_bridge.h"
#include "support/image_random.h"

namespace {

TEST(CvBridge, ViewIsTheWindowAndAliasesThePels) {
  std::mt19937 rng(5);
  kcPelBuffer<unsigned char> buffer = colc_test::randomBuffer(rng, 10, 8, 3, 4, kcPelRect(5, 6, 12, 9));
  cv::Mat view = kfMatView(buffer);
  EXPECT_EQ(view.cols, 7);
  EXPECT_EQ(view.rows, 3);
  EXPECT_EQ(static_cast<long>(view.step[0]), buffer.rowStride());
  EXPECT_EQ(view.ptr<unsigned char>(0), buffer.pointToRow(6));
  view.at<unsigned char>(2, 6) = 201;
  EXPECT_EQ(colc_test::pelAt(buffer, 11, 8), 201);

  buffer.window(kcPelRect(5, 6, 5, 9), false);
  EXPECT_TRUE(kfMatView(buffer).empty());
  EXPECT_THROW(kfMatView(kcPelBuffer<unsigned char>()), kcBadPointer);
}

TEST(CvBridge, BufferKeepsTheMatrixPelsAlive) {
  cv::Mat mat(5, 6, CV_8UC1, cv::Scalar(17));
  const unsigned char* pels = mat.data;
  const kcPelBuffer<unsigned char> buffer = kfPelBufferFromMat(mat(cv::Rect(1, 1, 4, 3)));
  mat.release();
  EXPECT_EQ(buffer.pointToRow(0), pels + 6 + 1);  // shared, not copied: row 1, column 1
  EXPECT_EQ(buffer.window(), kcPelRect(0, 0, 4, 3));
  EXPECT_EQ(buffer.pointToRow(2)[3], 17);  // still readable: the buffer owns a reference

  const kcPelBuffer<unsigned char> placed = kfPelBufferAt(cv::Mat(2, 2, CV_8UC1), -7, 9, kcXform<2>());
  EXPECT_EQ(placed.window(), kcPelRect(-7, 9, -5, 11));
}

TEST(CvBridge, ForeignMemoryIsCopiedAndWrongTypesRefused) {
  std::vector<unsigned char> foreign(12, 3);
  const kcPelBuffer<unsigned char> buffer = kfPelBufferFromMat(cv::Mat(3, 4, CV_8UC1, foreign.data()));
  EXPECT_NE(buffer.pointToRow(0), foreign.data());
  EXPECT_EQ(buffer.pointToRow(2)[3], 3);
  EXPECT_THROW(kfPelBufferFromMat(cv::Mat(2, 2, CV_16UC1)), kcBadArgument);
  EXPECT_THROW(kfPelBufferFromMat(cv::Mat(2, 2, CV_8UC3)), kcBadArgument);
  EXPECT_THROW(kf3PlanePelBufferFromBGR(cv::Mat(2, 2, CV_8UC1)), kcBadArgument);
  EXPECT_THROW(kf3PlanePelBufferFromMats(cv::Mat(2, 2, CV_8UC1), cv::Mat(2, 2, CV_8UC1), cv::Mat(2, 3, CV_8UC1)),
               kcBadArgument);
}

TEST(CvBridge, InterleavedBlueGreenRedBecomesRedGreenBluePlanes) {
  cv::Mat bgr(3, 5, CV_8UC3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bgr.at<cv::Vec3b>(y, x) = cv::Vec3b(x, 10 + y, 100 + x + y);  // B, G, R
  kc3PlanePelBuffer image = kf3PlanePelBufferFromBGR(bgr);
  EXPECT_EQ(colc_test::windowPel(image.plane0(), 4, 2), 106);  // red
  EXPECT_EQ(colc_test::windowPel(image.plane1(), 4, 2), 12);   // green
  EXPECT_EQ(colc_test::windowPel(image.plane2(), 4, 2), 4);    // blue

  image.window(kcPelRect(1, 1, 4, 3), false);
  const cv::Mat back = kfBGRMat(image);
  EXPECT_EQ(back.size(), cv::Size(3, 2));
  EXPECT_EQ(cv::norm(back, bgr(cv::Rect(1, 1, 3, 2)), cv::NORM_INF), 0.0);
}

}  // namespace
