// The transfer curve between 8-bit colour pels and light: the encoding in
// which the host's cameras deliver pels and reference images hold them.
// Exposure, gain and black level act on light, not on pels.
#pragma once

// The linear light (0 black .. 1 white) that an 8-bit pel encodes.
double kfPelLight(unsigned char pel);

// The 8-bit pel nearest to encoding light (to within a step of 2^-16 of
// full scale in light); light outside 0..1 clips.
unsigned char kfLightPel(double light);

// kfLightPel of n values at once: pels[i] = kfLightPel(light[i]).
void kfLightPels(const float* light, long n, unsigned char* pels);
