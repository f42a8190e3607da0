// The demonstration that runs when colc is started without arguments: a
// synthetic colour reference, a simulated camera image of it with a known
// per-channel error, and the fit that recovers the correction.
#pragma once

#include <ostream>
#include <string>

// Runs the demonstration, printing to out; returns the process exit code.
// With a folder, also writes the images there (reference.png, camera.png,
// and mask.png, which leaves out the top row of patches) for "colc fit".
int runDemo(std::ostream& out, const std::string& imageFolder = "");
