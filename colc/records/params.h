// The caller's description of a calibration run.
#pragma once

#include "colc/host/imaging.h"

class kcColorCalibrationParams {
 public:
  kcColorCalibrationParams() = default;
  kcColorCalibrationParams(const kcColorCalibrationParams&) = default;
  kcColorCalibrationParams& operator=(const kcColorCalibrationParams&) = default;

  bool isExposureEnabled() const { return isExposureEnabled_; }
  void isExposureEnabled(bool on) { isExposureEnabled_ = on; }
  bool isContrastEnabled() const { return isContrastEnabled_; }
  void isContrastEnabled(bool on) { isContrastEnabled_ = on; }
  bool isBrightnessEnabled() const { return isBrightnessEnabled_; }
  void isBrightnessEnabled(bool on) { isBrightnessEnabled_ = on; }
  // The exposure interval of the search; never the empty range
  // (BadParams "exposureRange == kcRange::EmptyRange()").
  kcRange exposureRange() const { return exposureRange_; }
  void exposureRange(const kcRange& range);
  // The smallest exposure step, 0.0 for none; never negative
  // (BadParams "minExposureStepSize < 0").
  double minExposureStepSize() const { return minExposureStepSize_; }
  void minExposureStepSize(double step);
  bool usePositive8BitLut() const { return usePositive8BitLut_; }
  void usePositive8BitLut(bool on) { usePositive8BitLut_ = on; }
  bool allowPelMapping() const { return allowPelMapping_; }
  void allowPelMapping(bool on) { allowPelMapping_ = on; }

  bool operator==(const kcColorCalibrationParams& other) const;

 private:
  friend kcArchive& operator||(kcArchive& ar, kcColorCalibrationParams& params);

  bool isExposureEnabled_ = true;
  bool isContrastEnabled_ = true;
  bool isBrightnessEnabled_ = true;
  double minExposureStepSize_ = 0.0;
  kcRange exposureRange_{1e-6, 0.3};
  bool usePositive8BitLut_ = true;
  bool allowPelMapping_ = true;
};
