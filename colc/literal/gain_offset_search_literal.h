// The 3 x 3 pattern search for the gain and offset of least error, round
// by round as defined: the reference that kfSearchGainOffsetFast is tested
// against.
#pragma once

#include "colc/balance/internal/gain_offset_search.h"

// Searches from (gain, offset) until both steps are below their limits.
kcGainOffsetSearch kfSearchGainOffset(const kcMappingEvaluation& evaluate, double gain, double offset);

// The search with the literal evaluation on table; gain and offset are the
// starting point on entry and the result on return. Returns the end state.
kcGainOffsetSearch kfRefineGainOffset(const kcJointTable& table, double& gain, double& offset, double& rmsError);
