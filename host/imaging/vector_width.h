// The width of the vectors in which the host's hand-vectorised loops work.
// Each such loop gives the same bits at every width.
#pragma once

enum class kcVectorWidth { e128, e256 };

// 256 bits (AVX2) where the processor has them, 128 (SSE2, which every
// x86-64 processor has) elsewhere.
kcVectorWidth kfWidestVectors();
