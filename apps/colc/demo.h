// The demonstration that runs when colc is started without arguments: a
// synthetic colour reference, a simulated camera image of it with a known
// per-channel error, and the fit that recovers the correction.
#pragma once

#include <ostream>

// Runs the demonstration, printing to out; returns the process exit code.
int runDemo(std::ostream& out);
