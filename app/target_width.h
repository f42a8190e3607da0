// The widths a target may be drawn at: enough pels for its corner marks,
// and no more than a print needs.
#pragma once

inline constexpr long kMinTargetWidth = 96;
inline constexpr long kMaxTargetWidth = 16384;

// Throws a usage failure for a width outside those bounds.
void checkTargetWidth(long width);
