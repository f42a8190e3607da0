// The light of an 8-bit plane, halved: cv::pyrDown of the plane decoded
// through a table, to the bit, in one pass over the pels. Neither the
// full-size light nor a separate pass to decode it is stored; that halves
// the time the first halving of footprint sampling takes.
#pragma once

#include <opencv2/core.hpp>

// How pels are looked up in the table: one by one, or eight at a time by
// the gathering loads of processors with AVX2. Both give the same light.
enum class kcPelDecoding { eLookedUp, eGathered };

// Gathered where the processor can, looked up elsewhere.
kcPelDecoding kfFastestPelDecoding();

// cv::pyrDown(light) where light is pels (2-D CV_8UC1) looked up in table
// (256 floats), with cv::pyrDown's default size and border.
cv::Mat kfDecodedHalf(const cv::Mat& pels, const float* table, kcPelDecoding decoding = kfFastestPelDecoding());
