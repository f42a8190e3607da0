// The sums behind kfPelAbsDifferenceMoments, one row of pels at a time.
#pragma once

#include "colc/host/imaging.h"
#include "host/imaging/vector_width.h"

// Adds |a - b| and its square over n pels to m's sums (not to its count).
// The sums are exact at every vector width.
void kfAddDifferenceMoments(const unsigned char* a, const unsigned char* b, long n, kcPelDifferenceMoments& m,
                            kcVectorWidth width = kfWidestVectors());
