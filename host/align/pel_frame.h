// Transforms between a buffer's client coordinates and the matrix
// coordinates of its OpenCV view (kfMatView), shared by the alignment and
// the correlation.
//
// In matrix coordinates the centre of the window's first pel is (0, 0);
// in image coordinates that pel covers [left, left + 1) x [top, top + 1),
// so its centre is (left + 0.5, top + 0.5).
#pragma once

#include <opencv2/core.hpp>

#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

// Matrix coordinates of the window view -> client coordinates.
kcXform<2> kfClientFromMatXform(const kc_PelBuffer& buffer);

cv::Matx23d kfToCv(const kcXform<2>& xform);
kcXform<2> kfFromCv(const cv::Matx23d& m);
