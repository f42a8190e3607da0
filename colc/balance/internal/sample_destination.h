// Resampling of the destination onto the source's pel grid, with a mask of
// the samples that came from inside the destination.
#pragma once

#include "colc/host/imaging.h"

// sampledDst receives dst resampled through samplingParams. sampledDstMask
// stays unbound when every sample lies inside dst; otherwise it covers
// sampledDst and holds 255 where the sample came from inside dst, 0 elsewhere.
void kfSampleDestination(const kcAffineSamplingParams& samplingParams, const kcPelBuffer_const<unsigned char>& dst,
                         kcPelBuffer<unsigned char>& sampledDst, kcPelBuffer<unsigned char>& sampledDstMask);
