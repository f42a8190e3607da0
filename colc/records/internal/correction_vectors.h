// The vector forms of kcCorrectionRows, each in the instructions of its
// width: they correct the first pels of a run as the arithmetic's scalar
// form would, and return how many they corrected; the caller corrects the
// rest one by one.
#pragma once

#include "colc/records/internal/correction_arithmetic.h"
#include "colc/records/internal/correction_rows.h"

// AVX-512 (F, BW, VL, VBMI): all n pels.
long kfCorrectRun512(const kcCorrectionArithmetic& arithmetic, const kcPelRun<const unsigned char>& in,
                     const kcPelRun<unsigned char>& out, long n);
// AVX2: whole groups of 8 pels.
long kfCorrectRun256(const kcCorrectionArithmetic& arithmetic, const kcPelRun<const unsigned char>& in,
                     const kcPelRun<unsigned char>& out, long n);
