// The gain/offset fit: per plane, the linear transfer that maps a source
// (camera) image onto a destination (reference) image, scored by a
// saturation-aware RMS error on a joint histogram of pel-value pairs.
#pragma once

#include "colc/host/diag.h"
#include "colc/host/imaging.h"
#include "colc/records/channel_result.h"
#include "colc/records/result.h"

// Diagnostics flag bits: the fit's input images, and its result images and texts.
constexpr unsigned long kColorCalibrationDiagInputs = 0x10000;
constexpr unsigned long kColorCalibrationDiagResults = 0x20000;

// One plane, with and without a mask of 0 (ignore) and 255 (use).
void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);
void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);

// One plane against a destination resampled through samplingParams first.
void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcAffineSamplingParams& samplingParams,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);
void kfComputeColorCalibration(const kcPelBuffer_const<unsigned char>& src,
                               const kcPelBuffer_const<unsigned char>& mask,
                               const kcAffineSamplingParams& samplingParams,
                               const kcPelBuffer_const<unsigned char>& dst,
                               kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);

// Colour images, plane by plane (a grey pair is fitted once).
void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcPelBuffer_const<unsigned char>& mask,
                               const kc3PlanePelBuffer& dst, kcColorCalibrationResultInternal& result,
                               kcDiagObject* diag, unsigned long diagFlags);
void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kc3PlanePelBuffer& dst,
                               kcColorCalibrationResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);
void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcPelBuffer_const<unsigned char>& mask,
                               const kcAffineSamplingParams& samplingParams, const kc3PlanePelBuffer& dst,
                               kcColorCalibrationResultInternal& result, kcDiagObject* diag,
                               unsigned long diagFlags);
void kfComputeColorCalibration(const kc3PlanePelBuffer& src, const kcAffineSamplingParams& samplingParams,
                               const kc3PlanePelBuffer& dst, kcColorCalibrationResultInternal& result,
                               kcDiagObject* diag, unsigned long diagFlags);

// The plane-by-plane fit of two colour images of one size whose pels lie
// interleaved, as most image libraries hold them, read where they lie in
// one pass: the same result, to the bit, as kfComputeColorCalibration on
// their planes. A bound mask is read over the images' size from its
// window's corner. No diagnostics. Throws BadParams for images of
// different sizes or without pels, BadImages as the fit on planes does.
void kfFitInterleavedPels(const kcInterleavedPels<const unsigned char>& src,
                          const kcPelBuffer_const<unsigned char>& mask,
                          const kcInterleavedPels<const unsigned char>& dst, kcColorCalibrationResultInternal& result);

// Draws the fitted numbers as one line of text onto the last record of diag.
void kfSketchBalanceText(const kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                         unsigned long diagFlags);
