// Where the pattern search's grid needs correlations. The grid warps the
// whole image into the pattern's frame (the canvas, the image's bounding
// box there) and keeps only peaks at which the pattern lies inside the
// image; at an oblique turn the image covers little more than half of its
// bounding box. Cut into strips of rows, each strip needs correlations
// only between the image's left and right edges within its rows.
#pragma once

#include <array>
#include <opencv2/core.hpp>
#include <vector>

// Rectangles of the correlation's result (pel (x, y) places the pattern's
// top-left pel on canvas pel (x, y)) that hold every placement whose
// pattern lies inside the quadrilateral `inside` (canvas coordinates, in
// order around it, convex), and every placement next to one, at most
// stripRows rows each; none where no pattern fits. results is the size of
// the whole result.
std::vector<cv::Rect> kfGridStrips(const std::array<cv::Point2d, 4>& inside, cv::Size pattern, cv::Size results,
                                   int stripRows);
