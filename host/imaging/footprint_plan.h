// How a plane is resampled onto a coarser grid of footprint samples: which
// of its pels the footprints reach, how often their light is halved before
// the samples are weighed out of it, and the Gaussian left for the weights.
#pragma once

#include <opencv2/core.hpp>

struct kcFootprintPlan {
  // The pels the footprints reach, with room for the halvings' kernels.
  cv::Rect reached;
  // How often the light of the reached pels is halved by cv::pyrDown.
  int halvings = 0;
  // The Gaussian left for the weights, in pels of the halved light.
  double sigma = 0.0;
  // Sample (i, j) to its centre in the halved light's matrix coordinates.
  cv::Matx23d onLevel;
};

// The plan for size.width x size.height samples of a plane of planeSize
// pels, sample (i, j) centred at dstToSrc * (i, j, 1) in the plane.
kcFootprintPlan kfFootprintPlan(cv::Size planeSize, const cv::Matx23d& dstToSrc, cv::Size size);
