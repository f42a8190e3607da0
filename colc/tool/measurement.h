// The measurement of one acquisition against the reference image, by which
// the calibration tool compares camera settings.
#pragma once

#include "colc/host/imaging.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

// One judged acquisition. A plain value; copies are deep.
class kcColorCalibrationMeasurement {
 public:
  // The gain/offset fits of the resampled first image against the
  // reference, three in plane order; empty when pel mapping is not allowed
  // or the fit failed.
  kcColorCalibrationResultInternal results;
  // Sum over the planes of the standard deviation of the difference of the
  // two acquisitions: the camera's noise. 0 for a view measured alone.
  double noiseSDevSum = 0.0;
  // Whether the parameters allowed pel mapping when this was measured.
  bool pelMappingUsed = false;
  // Sum over the planes of the mean absolute difference between the
  // resampled first image and the reference (lower is better).
  double differenceSum = 0.0;
};

// Statistics of the pel-wise absolute difference of a and b, plane by
// plane. The outputs are written only when all three are known.
void kfPlaneDifferenceStats(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b, kcHistoStats& stats0,
                            kcHistoStats& stats1, kcHistoStats& stats2);

// Measures a view already resampled onto referenceImage's grid, as
// kfMeasureColorImages measures its first image, without a noise figure.
// Exceptions as kfMeasureColorImages's.
kcColorCalibrationMeasurement kfMeasureColorView(const kcColorCalibrationParams& params,
                                                 const kc3PlanePelBuffer& referenceImage,
                                                 const kc3PlanePelBuffer& view);

// Measures first (and the noise between first and second) against
// referenceImage, first being resampled through sampling onto the
// reference's grid. referenceImage and sampling come from
// kfFindCalibrationPose. Exceptions of the image operations pass through;
// a kcException from the gain/offset fit only leaves the results empty.
kcColorCalibrationMeasurement kfMeasureColorImages(const kcColorCalibrationParams& params,
                                                   const kc3PlanePelBuffer& referenceImage,
                                                   const kcAffineSamplingParams& sampling,
                                                   const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second);
