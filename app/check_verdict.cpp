#include "app/check_verdict.h"

CheckVerdict judgeCheck(double calibratedMean, double nowMean) {
  const double drift = nowMean - calibratedMean;
  if (drift < kNoticeableDrift) return CheckVerdict::stillCalibrated;
  if (drift < kRecalibrationDrift) return CheckVerdict::drifted;
  return CheckVerdict::recalibrate;
}

const char* verdictName(CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::stillCalibrated:
      return "still calibrated";
    case CheckVerdict::drifted:
      return "drifted";
    case CheckVerdict::recalibrate:
      return "recalibrate";
  }
  return "";
}
