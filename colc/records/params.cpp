#include "colc/records/params.h"

#include "colc/records/errors.h"

void kcColorCalibrationParams::exposureRange(const kcRange& range) {
  if (range == kcRange::EmptyRange()) throw kcColorCalibrationDefs::BadParams("exposureRange == kcRange::EmptyRange()");
  exposureRange_ = range;
}

void kcColorCalibrationParams::minExposureStepSize(double step) {
  // Written as a positive test so that a not-a-number is refused too.
  if (!(step >= 0.0)) throw kcColorCalibrationDefs::BadParams("minExposureStepSize < 0");
  minExposureStepSize_ = step;
}

bool kcColorCalibrationParams::operator==(const kcColorCalibrationParams& o) const {
  return isExposureEnabled_ == o.isExposureEnabled_ && isContrastEnabled_ == o.isContrastEnabled_ &&
         isBrightnessEnabled_ == o.isBrightnessEnabled_ && minExposureStepSize_ == o.minExposureStepSize_ &&
         exposureRange_ == o.exposureRange_ && usePositive8BitLut_ == o.usePositive8BitLut_ &&
         allowPelMapping_ == o.allowPelMapping_;
}
