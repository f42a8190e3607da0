// Resampling of an 8-bit plane on a grid that a homography carries into
// it, with the area-weighted footprints of affine sampling.
//
// Over a small enough part of the grid a homography is affine to within a
// fraction of a pel, so the grid is cut into tiles, each small enough that
// its affine approximation stays within kTileTolerance pels of the true
// sample centres, and each tile is sampled by the affine sampling's own
// means (footprints where its samples lie wider apart than a pel, bilinear
// reading at the centres elsewhere). An affine homography is one tile: the
// samples are then those of affine sampling, to the bit.
#pragma once

#include <opencv2/core.hpp>

// How far (in source pels) a tile's affine approximation may put a sample
// centre from where the homography puts it.
constexpr double kTileTolerance = 0.02;

// size.width x size.height samples of plane (2-D CV_8UC1); sample (i, j)
// is centred at gridToSrc * (i, j, 1) (a homography) in plane's matrix
// coordinates (pel centres at integers). Only plane's pels are read;
// footprints reaching beyond them read the nearest edge pel. The caller
// keeps the grid's corners finite, within 2^19 pels of the plane and on
// the homography's positive side (w > 0).
cv::Mat kfPerspectiveSamples(const cv::Mat& plane, const cv::Matx33d& gridToSrc, cv::Size size);
