// The single-plane fit in its literal form, step by step on intermediate
// images: the oracle that kfFitChannel is tested against.
#pragma once

#include "colc/balance/internal/channel_fit.h"

// kfFitChannel computed literally: several passes, intermediate images, the
// literal evaluation and search.
kcChannelFit kfFitChannelLiteral(const kcPelBuffer_const<unsigned char>& src,
                                 const kcPelBuffer_const<unsigned char>& mask,
                                 const kcPelBuffer_const<unsigned char>& dst, kcDiagObject* diag,
                                 unsigned long diagFlags);
