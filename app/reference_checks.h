// What a reference image needs before a camera is touched: enough pels to
// find it by, and more than one grey value, since the camera's view is
// searched for the reference's grey pattern.
#pragma once

#include <string>

#include "colc/host/imaging.h"

// CommandFailure imagesRefused naming the reference ("'chart.png'").
void checkReference(const kc3PlanePelBuffer& reference, const std::string& name);
