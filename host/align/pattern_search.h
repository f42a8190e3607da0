// The search behind kcSXAlignPattern, on OpenCV matrices.
//
// A pose maps pattern matrix coordinates u to run-image matrix coordinates
// x = L (u - patternCentre) + centre, with the linear part
// L = runFromClient * scale * R(rotation) * clientFromPattern. Poses are
// searched coarse to fine over image pyramids (cv::pyrDown, so that pel i of
// level l sits at 2^l * i of level 0): a grid of rotations and scales on the
// coarsest level, where the run image is warped into the pattern's frame
// once per grid point and correlated with the pattern (TM_CCOEFF_NORMED);
// then each good grid pose is refined level by level by small steps in
// rotation and scale, each correlated over a few pels of translation.
#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "host/align/pose_probe.h"

class AlignPyramid {
 public:
  AlignPyramid() = default;
  // Levels 0 (the image itself, not copied) up to maxLevel or until a
  // further level would be narrower or lower than minSide.
  AlignPyramid(const cv::Mat& image, int maxLevel, int minSide);
  int numLevels() const { return static_cast<int>(levels_.size()); }
  const cv::Mat& level(int l) const { return levels_[l]; }

 private:
  std::vector<cv::Mat> levels_;
};

struct AlignSearchSpace {
  cv::Matx22d runFromClient = cv::Matx22d::eye();
  cv::Matx22d clientFromPattern = cv::Matx22d::eye();
  double rotationLow = 0.0, rotationHigh = 0.0;  // radians
  double scaleLow = 1.0, scaleHigh = 1.0;
  double accept = 0.0;
  // The coarse level is the first on which the pattern's half-diagonal, at
  // the largest scale, is at most this many pels; the grid of rotations and
  // scales there grows with its square. 12 bounds the grid to about 9
  // rotations and 5 scales for a search of +-21 degrees and 0.8 to 1.2,
  // whatever the pattern's size.
  double coarseRadius = 12.0;
  // A pattern too small to reach coarseRadius on a level of at least
  // kMinSide pels is searched on a finer level, where the grid grows with
  // its radius there and with the run image's size. With a budget, the grid
  // of a search whose poses times placements times pattern pels would
  // exceed it is spread wider to fit: its poses then lie further from the
  // target's, which the refinement then has to find. 0: no budget.
  double gridBudget = 0.0;
  // How the grid correlates: over the whole warped image through
  // cv::matchTemplate (kfFindCalibrationPose's search, whose results are
  // fixed to the bit), or only where the pattern can lie inside the run
  // image (host/align/grid_strips.h) and directly in integers
  // (host/align/grid_correlation.h): the same placements in under half the
  // time, their scores differing by matchTemplate's rounding.
  bool directInside = false;
};

struct AlignMatch {
  double rotation = 0.0;  // radians
  double scale = 1.0;
  cv::Point2d centre;  // of the pattern, in level-0 run-image matrix coordinates
  double score = 0.0;
};

class AlignPatternModel {
 public:
  // The pattern must be at least kMinSide pels wide and high.
  AlignPatternModel(const cv::Mat& pattern, int fineLevel);

  // The best match of the pattern in the image, if any.
  std::optional<AlignMatch> search(const cv::Mat& image, const AlignSearchSpace& space) const;
  // Every match the search refines to the end and accepts, at distinct
  // places, in the order the search leaves them; search() is the best.
  std::vector<AlignMatch> searchAll(const cv::Mat& image, const AlignSearchSpace& space) const;

  // Level-0 pattern matrix coordinates of the point that a match's centre locates.
  cv::Point2d centre() const { return centre_; }

  static constexpr int kMinSide = 8;

 private:
  cv::Matx22d linear(const AlignSearchSpace& space, double rotation, double scale) const;
  int coarseLevel(const AlignSearchSpace& space) const;
  // Moves m (centre in level-0 coordinates) to the best pose near it on
  // one level: translation, then steps in rotation and scale, settled by a
  // parabola through the scores.
  void refineOnLevel(const cv::Mat& image, int level, const AlignSearchSpace& space, double rotationDelta,
                     double logScaleDelta, AlignMatch& m) const;

  AlignPyramid pattern_;
  std::vector<PoseProbe> probes_;  // one per pattern level
  int fineLevel_ = 0;
  cv::Point2d centre_;
};
