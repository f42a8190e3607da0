// The width of the vectors in which the host's hand-vectorised loops work.
// Each such loop gives the same bits at every width; a loop without a form
// of the width asked for works in the widest narrower one it has.
#pragma once

enum class kcVectorWidth { e128, e256, e512 };

// 512 bits (AVX-512 F, BW, VL and VBMI) where the processor has them, else
// 256 (AVX2) where it has those, else 128 (SSE2, which every x86-64
// processor has).
kcVectorWidth kfWidestVectors();
