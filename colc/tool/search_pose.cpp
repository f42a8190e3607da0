#include "colc/tool/internal/search_pose.h"

#include "colc/host/acq.h"
#include "colc/records/errors.h"
#include "colc/tool/pose.h"

void kfFindSearchPose(const kc3PlanePelBuffer& acquired, const kc3PlanePelBuffer& calibrationImage,
                      kc3PlanePelBuffer& referenceImage, kcAffineSamplingParams& sampling, kcDiagObject* diag,
                      unsigned long diagFlags) {
  try {
    kfFindCalibrationPose(acquired, calibrationImage, referenceImage, sampling, diag, diagFlags);
  } catch (const kcTimeout::Expired&) {
    throw kcTimeout::Expired();
  } catch (...) {
    throw kcColorCalibrationDefs::BadImages("Can not find pose of the calibration image in the acquired Image.");
  }
}
