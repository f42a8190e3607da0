// The camera features the Aravis FIFO may change, other than the lookup
// tables (camera_lut.h), read on opening and put back exactly on closing:
// the automatic functions, the gain and black level selectors, the
// trigger, exposure, gain, black level, pel format and region. Values
// under a selector are read and put back under the entry the FIFO writes
// them under (GainSelector All, TriggerSelector FrameStart).
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "host/acq/aravis/feature_map.h"

class kcGenicamDevice;

// A feature that could not be put back, and why.
struct kcRestoreFailure {
  std::string feature;
  std::string reason;
};

// "could not put back A, B (reason)": the features in order, each once,
// with the first failure's reason.
std::string kfDescribeRestoreFailures(const std::vector<kcRestoreFailure>& failures);

// Runs one write of putting back; a failure is added to failures under
// the feature's name instead of ending the putting back.
template <class Write>
void kfAttemptRestore(std::vector<kcRestoreFailure>& failures, const std::string& feature, Write write) noexcept {
  try {
    write();
  } catch (const std::exception& e) {
    failures.push_back({feature, e.what()});
  }
}

class kcCameraState {
 public:
  // Reads every feature the map and the FIFO's set-up use. kcIOError when
  // the camera does not answer.
  kcCameraState(kcGenicamDevice& device, const kcCameraFeatureMap& map);
  // The state an earlier run found, from the lines of recordLines() among
  // lines (others are left alone); the camera is not read. kcIOError for
  // a line that cannot be read.
  kcCameraState(kcGenicamDevice& device, const std::vector<std::string>& lines);

  // One line per feature, each beginning "state", to keep in a file
  // (found_state_file.h).
  std::vector<std::string> recordLines() const;
  // The lines of the selectors alone, read without moving them: what the
  // file holds before reading the features under them moves them.
  static std::vector<std::string> selectorLines(kcGenicamDevice& device);
  // The line of a text feature found, read without a selector: one more
  // feature for the file, put back with the rest by restore().
  static std::string textLine(const std::string& feature, const std::string& value);

  // Writes back every feature that no longer holds its value as found,
  // values before the automatic functions that would change them and
  // selectors last. A feature that cannot be written is skipped and
  // returned; nothing is written to a camera that no longer answers.
  std::vector<kcRestoreFailure> restore() noexcept;
  // Writes back the selectors alone (TriggerSelector, GainSelector,
  // BlackLevelSelector), which reading and writing under them moved.
  std::vector<kcRestoreFailure> putBackSelectors() noexcept;

 private:
  struct Region {
    std::int64_t x, y, width, height;
    bool operator==(const Region& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
    bool operator!=(const Region& o) const { return !(*this == o); }
  };
  using Value = std::variant<std::string, std::int64_t, double, Region>;
  struct Found {
    std::string feature;
    std::string selector;  // selected to selectorEntry before the feature is read or written; empty: none
    std::string selectorEntry;
    Value value;
  };

  static std::vector<Found> readSelectors(kcGenicamDevice& device);
  static std::string lineOf(const Found& found);
  void record(const std::string& feature, const std::string& selector = "", const std::string& entry = "");
  void recordScaled(const kcScaledFeature& feature, const char* selector);
  Value read(const Found& found);
  void write(const Found& found);
  void select(const Found& found);
  void restore(const Found& found, std::vector<kcRestoreFailure>& failures) noexcept;

  kcGenicamDevice& device_;
  std::vector<Found> found_;  // in the order they are put back
};
