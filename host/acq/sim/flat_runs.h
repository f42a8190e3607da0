// Runs of pels that collect exactly the same light: the inside of the
// target's patches, its card, its border and the background around it.
// Within a run a pel's output depends on its noise sample alone, so the
// sensor tabulates that dependence once per frame for each such level and
// looks the run's pels up in the table instead of computing them one by one.
// Only levels that cover many pels in long runs get a table: a table costs
// as much as 256 pels computed the ordinary way. The levels of the other
// pels are kept apart, packed row after row, so that a frame reads them in
// one sequential stream instead of picking them out of the whole scene.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <span>
#include <vector>

class kcSimFlatRuns {
 public:
  // The pels [x0, x1) of a row, all of one flat level; runs do not cross the
  // border between read-out taps. table = flat level * taps + tap.
  struct Run {
    std::uint16_t x0;
    std::uint16_t x1;
    std::uint32_t table;
  };
  struct Level {
    int plane;
    std::uint16_t level;  // the scene level, as in kcSimScene::levels
  };

  // No runs: every pel goes the ordinary way, whatever the taps.
  kcSimFlatRuns() = default;
  // levels: the stacked planes of kcSimScene::levels; taps: the sensor's
  // read-out taps (1..4), vertical stripes of equal width.
  kcSimFlatRuns(const cv::Mat& levels, int taps);

  // Runs of row `row` of the stacked planes, left to right.
  std::span<const Run> row(int row) const;
  // The levels of the pels of row `row` outside its runs, left to right;
  // nullptr when there are no runs.
  const std::uint16_t* outside(int row) const;
  const std::vector<Level>& levels() const { return levels_; }
  // The taps the runs were split for; 0 when there are no runs.
  int taps() const { return levels_.empty() ? 0 : taps_; }

 private:
  int taps_ = 0;
  std::vector<Level> levels_;
  std::vector<Run> runs_;
  std::vector<std::size_t> rowStart_;  // runs of row r: [rowStart_[r], rowStart_[r + 1])
  std::vector<std::uint16_t> outside_;
  std::vector<std::size_t> outsideStart_;  // row r's levels outside its runs start at outside_[outsideStart_[r]]
};
