// The pattern search of kfSearchGainOffset with two exact shortcuts. It
// ends in the same state: the same point, error, steps, number of rounds
// and stall flag, for any evaluation that depends only on the values of
// gain and offset (every joint-table evaluation does: a zero's sign cannot
// change a mapped value). The shortcuts:
// 1. A candidate whose gain and offset both occur in the previous round's
//    grid keeps the error found there; the centre always does, and so do
//    the three points of the axis whose step a halving round left alone.
// 2. A round that moves nothing and halves only steps that no longer
//    change their coordinate (c - step == c == c + step) is followed by
//    rounds of the very same nine candidates, errors and runner-up, which
//    only halve those steps again. They are counted and their halving is
//    replayed without any evaluation, up to the end of the loop or the stall
//    end. This is the state a search reaches when a runner-up keeps lying on
//    one axis at a rounding edge: otherwise about a thousand rounds.
#pragma once

#include "colc/balance/internal/gain_offset_search.h"

kcGainOffsetSearch kfSearchGainOffsetFast(const kcMappingEvaluation& evaluate, double gain, double offset);
