// The light of an 8-bit plane, halved: cv::pyrDown of the plane decoded
// through a table, to the bit, in one pass over the pels. Neither the
// full-size light nor a separate pass to decode it is stored; that halves
// the time the first halving of footprint sampling takes.
#pragma once

#include <opencv2/core.hpp>

#include "host/imaging/vector_width.h"

// cv::pyrDown(light) where light is pels (2-D CV_8UC1) looked up in table
// (256 floats), with cv::pyrDown's default size and border. At a width of
// 512 bits the pels are looked up 64 at a time by AVX-512's byte permutes
// and halved 16 at a time, at 256 looked up eight at a time by AVX2's
// gathering loads, at 128 one by one; halved four at a time at both.
cv::Mat kfDecodedHalf(const cv::Mat& pels, const float* table, kcVectorWidth width = kfWidestVectors());
