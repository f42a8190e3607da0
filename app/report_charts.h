// The charts of the calibration report, as inline SVG.
#pragma once

#include <string>
#include <vector>

#include "colc/records/channel_result.h"
#include "app/search_path.h"

// A channel's transfer: output pel value over input pel value as its pel
// map gives it (the identity for an empty map), with the identity dashed
// for comparison. colour: a CSS colour for the curve.
std::string transferChart(const kcColorCalibrationChannelResult& channel, const std::string& name,
                          const std::string& colour);

// The search: exposure (on a log scale), contrast and brightness over the
// acquisitions, a dot for every acquisition and a line for the best
// settings as they changed.
std::string searchPathChart(const std::vector<kcColorCameraSettings>& acquisitions,
                            const std::vector<BestChange>& best);
