#include "search_path.h"

#include <algorithm>

namespace {

// The first acquisition from index from on with the settings, or the last
// acquisition when none has them.
std::size_t firstWith(const std::vector<kcColorCameraSettings>& acquisitions, std::size_t from,
                      const kcColorCameraSettings& settings) {
  while (from + 1 < acquisitions.size() && !(acquisitions[from] == settings)) ++from;
  return from;
}

}  // namespace

std::vector<BestChange> bestSettingsAlong(const std::vector<kcColorCameraSettings>& acquisitions,
                                          const kcColorCameraSettings& result) {
  std::vector<BestChange> changes;
  if (acquisitions.empty()) return changes;
  changes.push_back({0, acquisitions[0]});
  std::size_t cycleStart = 1;
  for (std::size_t runStart = 1; runStart < acquisitions.size();) {
    std::size_t runEnd = runStart + 1;
    while (runEnd < acquisitions.size() && acquisitions[runEnd] == acquisitions[runStart]) ++runEnd;
    if ((runEnd - runStart) % 2 == 1) {
      const kcColorCameraSettings& settled = acquisitions[runStart];
      if (!(settled == changes.back().settings))
        changes.push_back({firstWith(acquisitions, cycleStart, settled), settled});
      cycleStart = runEnd;
    }
    runStart = runEnd;
  }
  if (!(result == changes.back().settings))
    changes.push_back({firstWith(acquisitions, std::min(cycleStart, acquisitions.size() - 1), result), result});
  return changes;
}
