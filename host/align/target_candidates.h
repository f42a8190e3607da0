// Where the target may lie in a view: the pattern search run over the
// reference's four quarter turns and a wide range of scales, split into
// bands narrow enough for one coarse level each, every accepted match a
// candidate pose for the homography refinement to verify.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

struct kcTargetCandidate {
  cv::Matx33d pose;  // reference matrix coordinates -> view matrix coordinates, affine
  double score = 0.0;  // the pattern search's correlation
};

struct kcCandidateSearch {
  double minScale = 0.4, maxScale = 2.5;
  bool quarterTurns = true;
  // Also where part of the target lies out of view: the view is padded
  // with its mean grey. The padding's edges and its many more places draw
  // false matches, so this is a second look when the first finds nothing.
  bool partlyOutOfView = false;
  // The target seen shortened by this factor across the view's direction
  // squashAxis (degrees): a chart at a steep slant, which the search's
  // turns and scales alone match too poorly to be found. 1: not shortened.
  double squash = 1.0;
  double squashAxisDegrees = 0.0;
};

// The candidates, best first. reference and view are 2-D CV_8UC1.
std::vector<kcTargetCandidate> kfTargetCandidates(const cv::Mat& view, const cv::Mat& reference,
                                                  const kcCandidateSearch& search);
