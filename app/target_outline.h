// The camera's view with the target's outline drawn where the finder put
// it: what colc shows a user when the target was not found (or found
// doubtfully), and what colc aim keeps up to date.
#pragma once

#include <optional>

#include "colc/host/imaging.h"
#include "colc/host/target_finder.h"

// A copy of the view with the outline of a w x h reference carried through
// the match's pose: green when found, red otherwise; nothing drawn without
// a candidate (eNotFound).
kc3PlanePelBuffer outlinedView(const kc3PlanePelBuffer& view, const kcTargetMatch& match, long w, long h);
