// The real photographs of the 24-patch chart (tests/data/photos): their
// ground truth, and the folder the images live in, which is not part of
// the repository.
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
};

// Every photograph's truth, in file name order.
std::vector<kcPhotoTruth> kfPhotoTruths();

// The folder of the images: $COLC_PHOTO_DIR, else the shared folder found
// when the build was configured; nothing when neither exists.
std::optional<std::string> kfPhotoFolder();

// The photograph, read from the folder.
kc3PlanePelBuffer kfReadPhoto(const std::string& folder, const kcPhotoTruth& truth);
