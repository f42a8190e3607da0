#include "host/literal/footprint_sampling_literal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "host/imaging/footprint_plan.h"
#include "host/imaging/footprint_weights.h"
#include "host/imaging/srgb_tables.h"

namespace {

// The weighted mean of light around (x, y) (pel centres at integers), pels
// past the edges read as the nearest edge pel. Column m's sum over the rows
// is formed row by row; the products of the column sums and their weights
// are added up in four lanes, column m into lane m % 4, and the lanes as
// (0 + 2) + (1 + 3).
float weighedMean(const cv::Mat& light, const kcFootprintWeights& weights, double x, double y) {
  const double column = std::floor(x), row = std::floor(y);
  const float* across = weights.phase(x - column);
  const float* down = weights.phase(y - row);
  const int left = static_cast<int>(column) - weights.radius(), top = static_cast<int>(row) - weights.radius();
  std::array<float, 4> lanes{};
  for (int m = 0; m < weights.width(); ++m) {
    float sum = 0.0f;
    for (int k = 0; k < weights.taps(); ++k)
      sum += down[k] * light.at<float>(std::clamp(top + k, 0, light.rows - 1), std::clamp(left + m, 0, light.cols - 1));
    lanes[static_cast<std::size_t>(m % 4)] += sum * across[m];
  }
  return (lanes[0] + lanes[2]) + (lanes[1] + lanes[3]);
}

}  // namespace

cv::Mat kfFootprintLightLiteral(const cv::Mat& plane, const cv::Matx23d& dstToSrc, cv::Size size) {
  const kcFootprintPlan plan = kfFootprintPlan(plane.size(), dstToSrc, size);
  cv::Mat light;
  cv::LUT(plane(plan.reached), kfSrgbLightTable(), light);
  for (int h = 0; h < plan.halvings; ++h) {
    cv::Mat half;
    cv::pyrDown(light, half);
    light = half;
  }
  const kcFootprintWeights weights(plan.sigma);
  const cv::Matx23d& onLevel = plan.onLevel;
  cv::Mat means(size, CV_32F);
  for (int j = 0; j < size.height; ++j)
    for (int i = 0; i < size.width; ++i)
      means.at<float>(j, i) = weighedMean(light, weights, onLevel(0, 0) * i + onLevel(0, 1) * j + onLevel(0, 2),
                                          onLevel(1, 0) * i + onLevel(1, 1) * j + onLevel(1, 2));
  return means;
}
