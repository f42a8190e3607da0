// A camera's colour transformation: each output plane an affine function
// of the three input planes' levels, out_k = sum_j Gain_kj * in_j +
// Offset_k, applied before the lookup tables. Its features:
// ColorTransformationSelector (RGBtoRGB where offered),
// ColorTransformationValueSelector (Gain00 .. Gain22, Offset0 .. Offset2),
// ColorTransformationValue and ColorTransformationEnable. The values are
// read and written under the selector; put back as found on request.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "host/acq/aravis/camera_state.h"

class kcGenicamDevice;

// The twelve values in the order of kfColorTransformationValueNames():
// row k's gains of red, green and blue, k = 0, 1, 2, then the three offsets.
using kcColorTransformationValues = std::array<double, 12>;

// "Gain00" .. "Gain22", "Offset0" .. "Offset2".
const std::array<const char*, 12>& kfColorTransformationValueNames();

// What the camera offers, read without moving any selector.
struct kcColorTransformationFeatures {
  bool present = false;   // every feature and all twelve value entries
  std::string selector;   // the ColorTransformationSelector entry written under; empty without a selector
  double min = 0.0;       // the bounds of ColorTransformationValue
  double max = 0.0;
  bool on = false;        // ColorTransformationEnable as it reads under the current selector
};

kcColorTransformationFeatures kfColorTransformationFeatures(kcGenicamDevice& device);

class kcCameraColorTransformation {
 public:
  // Reads the selectors, the twelve values and the switch as found.
  // kcIOError when the camera does not answer.
  kcCameraColorTransformation(kcGenicamDevice& device, const kcColorTransformationFeatures& features);
  // What an earlier run found, from the lines of recordLines() or
  // selectorLines() among lines (others are left alone), to put back; the
  // camera is not read. None when lines hold none; kcIOError for a line
  // that cannot be read.
  static std::optional<kcCameraColorTransformation> fromRecord(kcGenicamDevice& device,
                                                               const std::vector<std::string>& lines);

  // What was found, in lines beginning "ct-", to keep in a file
  // (found_state_file.h).
  std::vector<std::string> recordLines() const;
  // The lines of the selectors alone, read without moving them: what the
  // file holds before reading the values moves them.
  static std::vector<std::string> selectorLines(kcGenicamDevice& device, const kcColorTransformationFeatures& features);

  // The values as found, of a transformation read from the camera.
  const kcColorTransformationValues& found() const { return *found_; }
  // Writes the values and switches the transformation on; kcIOError when
  // the camera refuses.
  void write(const kcColorTransformationValues& values);
  // The values as the camera holds them now.
  kcColorTransformationValues read();
  // Writes back the values, switch and selectors as found; what could not be.
  std::vector<kcRestoreFailure> putBack() noexcept;
  // The selectors alone, which reading and writing the values move.
  std::vector<kcRestoreFailure> putBackSelectors() noexcept;

 private:
  struct Selectors {
    std::string selector;  // ColorTransformationSelector; empty without one
    std::string valueSelector;
  };
  explicit kcCameraColorTransformation(kcGenicamDevice& device);
  static Selectors readSelectors(kcGenicamDevice& device, const kcColorTransformationFeatures& features);
  static std::vector<std::string> linesOf(const Selectors& selectors);
  void select();

  kcGenicamDevice* device_;  // a pointer, so that a record read from a file can be assigned
  std::string selectorEntry_;  // the ColorTransformationSelector entry the values are under; empty without one
  Selectors foundSelectors_;
  std::optional<kcColorTransformationValues> found_;  // with foundOn_; none when only the selectors are known
  bool foundOn_ = false;
};
