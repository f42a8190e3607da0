// What an image shows inside a quadrilateral: the mean of each plane over
// the pels whose centres lie inside, and how many of them are clipped.
#pragma once

#include <array>
#include <opencv2/core.hpp>

#include "chart_placement.h"
#include "colc/host/imaging.h"

struct PatchReading {
  std::array<double, 3> mean{};  // red, green, blue
  // The share of the pels with some plane at 0 or 255.
  double clippedShare = 0.0;
};

// rgb: an interleaved CV_8UC3 image in red, green, blue order, its pel
// (0, 0) at image coordinates (0, 0). std::invalid_argument when no pel
// centre of the image lies inside the quadrilateral.
PatchReading readPatch(const cv::Mat& rgb, const Quad& quad);

// The image as an interleaved CV_8UC3 matrix in red, green, blue order.
cv::Mat rgbMat(const kc3PlanePelBuffer& image);
