// The images that correlation-based pose refinements compare: pels in
// linear light, cropped to the part of the view a pose covers, and each
// pyramid level smoothed and band-passed, with the rim of the training
// image where it meets its surroundings left out.
#pragma once

#include <array>
#include <opencv2/core.hpp>

// The pels in linear light (0 to 255), taking them as sRGB-encoded: the
// camera's optics and resampling blend light, so edges blur alike in both
// images only there, and a blur that does not would pull the pose.
cv::Mat kfLinearLight(const cv::Mat& pels);

// The part of an image of the given size that a quadrilateral covers (its
// corners in the image's matrix coordinates), widened by a margin for the
// start error and the smoothing and gradient kernels, and cut to the
// image; empty when they do not meet.
cv::Rect kfCorrelationCrop(const std::array<cv::Point2d, 4>& corners, cv::Size image);

// One pyramid level of both images, smoothed alike and band-passed, and
// the rim left out of the training image there.
struct kcBandPassedLevel {
  cv::Mat train, run;
  int edge = 0;
};

// The images smoothed, less a wider blur of themselves: flat areas become
// 0 and only edges remain. A correlation can fit one gain and offset of the
// levels; a camera that weighs the colour planes unlike the training
// image's intensity renders each patch of a chart with a level of its own,
// and in the plain images those mismatches pull the edges between patches
// by tenths of a pel, while a band-passed edge stays centred whatever its
// height (random charts: corner errors up to 0.38 pel plain, 0.15 band-passed).
kcBandPassedLevel kfBandPassedLevel(const cv::Mat& train, const cv::Mat& run);

// The training image's part inside the level's rim.
cv::Mat kfInnerTrain(const kcBandPassedLevel& level);
