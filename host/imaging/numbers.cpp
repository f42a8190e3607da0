#include <climits>
#include <cmath>

#include "colc/host/imaging.h"

// std::round rounds halves away from zero. Values beyond the range of int
// are clamped to it and NaN gives 0, so no input is undefined behaviour.
int iRound(float value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::round(static_cast<double>(value));
  if (rounded <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(rounded);
}
