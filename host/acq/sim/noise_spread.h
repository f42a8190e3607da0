// The noise's standard deviation for each band of scene levels (step 6 of
// sensor_model.h), the table a frame's pels read it from.
#pragma once

#include <vector>

// For each bin of scene levels (level >> kSimLevelShift, expose_row.h),
// the noise's standard deviation at the bin's central level in ADC codes,
// divided by bankSigma, the spread of the numbers it scales. noise is the
// camera's noise level, gain the tap's analog gain, perLevel the signal p
// per scene level.
std::vector<float> kfSimNoiseSpreads(double noise, double gain, double perLevel, double bankSigma);
