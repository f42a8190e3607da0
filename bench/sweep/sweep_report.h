// The sweep's results as a markdown page (a table per pose, the summary,
// the goals) or as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "pose_measurement.h"

void writeMarkdown(std::ostream& out, const std::vector<PoseMeasurement>& measurements);
nlohmann::json sweepJson(const std::vector<PoseMeasurement>& measurements);
