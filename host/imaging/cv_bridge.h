// Bridges between our pel buffers and OpenCV matrices, for host code only
// (the module never sees OpenCV).
//
// Two directions, both without copying pels:
//   - kfMatView: a cv::Mat header over a buffer's window. The header owns
//     nothing: it is valid only while some buffer keeps those pels alive,
//     and writing through it changes the pels of every buffer sharing them.
//   - kfPelBufferFromMat / kfPelBufferAt / kf3PlanePelBufferFromMats: buffers
//     that keep a matrix's pels alive through the buffer's shared owner.
// Two further helpers convert, with one copy, between our three planes and
// OpenCV's interleaved BGR matrices (what the image codecs read and write).
//
// All matrices here are 2-D CV_8UC1 (one 8-bit plane) unless said otherwise.
#pragma once

#include <opencv2/core.hpp>

#include "colc/host/imaging.h"

// A header over the window of buffer: width() x height() pels, the buffer's
// row stride. An empty window gives an empty matrix of that size. Meant for
// reading when the buffer is a kcPelBuffer_const; kcBadPointer when unbound.
cv::Mat kfMatView(const kcPelBuffer_const<unsigned char>& buffer);

// A buffer over all of mat's pels, sharing them: offset (0, 0), window =
// the whole matrix, identity client transform. A matrix over foreign memory
// (one OpenCV does not reference-count) is copied instead, so that the
// buffer never outlives its pels. kcBadArgument when mat is not 2-D CV_8UC1.
kcPelBuffer<unsigned char> kfPelBufferFromMat(const cv::Mat& mat);

// The same, placed in image coordinates: the first pel at (x, y), with the
// given client transform. The pel operations use it to give their results
// the geometry of their input's window.
kcPelBuffer<unsigned char> kfPelBufferAt(const cv::Mat& mat, long x, long y, const kcXform<2>& clientFromImage);

// A three-plane image over three equally sized matrices (planes 0, 1, 2:
// red, green, blue), sharing their pels. kcBadArgument on a size mismatch.
kc3PlanePelBuffer kf3PlanePelBufferFromMats(const cv::Mat& red, const cv::Mat& green, const cv::Mat& blue);

// A new three-plane image copied from an interleaved CV_8UC3 matrix in
// OpenCV's blue-green-red channel order. The three planes share one
// allocation. kcBadArgument for any other matrix type.
kc3PlanePelBuffer kf3PlanePelBufferFromBGR(const cv::Mat& bgr);

// A new interleaved CV_8UC3 blue-green-red copy of the image's window.
// kcBadPointer when unbound.
cv::Mat kfBGRMat(const kc3PlanePelBuffer& image);
