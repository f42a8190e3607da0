// Where the target may lie in a view: the pattern search run over the
// reference's four quarter turns and a wide range of scales, split into
// bands narrow enough for one coarse level each, every accepted match a
// candidate pose for the homography refinement to verify.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

struct kcTargetCandidate {
  cv::Matx33d pose;  // reference matrix coordinates -> view matrix coordinates, a similarity
  double score = 0.0;  // the pattern search's correlation
};

struct kcCandidateSearch {
  double minScale = 0.4, maxScale = 2.5;
  bool quarterTurns = true;
};

// The candidates, best first. reference and view are 2-D CV_8UC1.
std::vector<kcTargetCandidate> kfTargetCandidates(const cv::Mat& view, const cv::Mat& reference,
                                                  const kcCandidateSearch& search);
