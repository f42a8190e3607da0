#include "app/search_path.h"

std::vector<BestChange> bestSettingsAlong(const std::vector<kcCalibrationSearchStep>& steps) {
  std::vector<BestChange> changes;
  if (steps.empty()) return changes;
  changes.push_back({0, steps.front().acquired});
  BestChange current = changes.front();  // the search's best and the step it became so at
  std::size_t acquisition = steps.front().images;
  for (std::size_t k = 1; k < steps.size(); ++k) {
    const kcCalibrationSearchStep& step = steps[k];
    if (!(step.best == current.settings)) current = {acquisition, step.best};
    acquisition += static_cast<std::size_t>(step.images);
    const bool settles = step.images == 1 || k + 1 == steps.size();
    if (settles && !(current.settings == changes.back().settings)) changes.push_back(current);
  }
  return changes;
}
