// Checks of numeric options. A value that is not a finite number in range
// is a usage error whose message repeats the value as typed and names the
// range in a few digits (CLI11's own bounds print the largest double in
// full, over 300 digits).
#pragma once

#include <CLI/CLI.hpp>

// A finite number at or above min ("nan" and "inf" are refused).
CLI::Validator finiteNumberAtLeast(double min);
// A finite number from min to max.
CLI::Validator finiteNumberIn(double min, double max);
// A whole number at or above min.
CLI::Validator wholeNumberAtLeast(unsigned long min);
