// The real photographs of the 24-patch chart (tests/data/photos): their
// ground truth, and their images: those whose licences allow it are kept
// beside the truth, the others in a folder outside the repository.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "colc/host/imaging.h"
#include "colc/host/perspective.h"

struct kcPhotoTruth {
  std::string image;  // the file name
  std::string chart;  // "current edition", "older edition", "another maker's print"
  // The patch centres in image coordinates, row by row from dark skin.
  std::array<kcVector<2>, 24> centres;
  // false: the centre comes from the homography fitted to the others.
  std::array<bool, 24> measured{};
  // From the patch grid (column 0..5, row 0..3) to the image.
  kcHomography gridToImage;
  double tiltDegrees = 0.0;  // approximate
  std::string path;          // where the image is
};

// The photographs at hand, in file name order: those kept in the
// repository, and, when the folder of the others is there ($COLC_PHOTO_DIR,
// else the shared folder found when the build was configured), every other
// one, whose image must then be in it.
std::vector<kcPhotoTruth> kfPhotosAtHand();

// The photograph's image.
kc3PlanePelBuffer kfReadPhoto(const kcPhotoTruth& truth);
