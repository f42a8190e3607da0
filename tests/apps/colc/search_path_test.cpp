#include "search_path.h"

#include <gtest/gtest.h>

namespace {

using Path = std::vector<kcColorCameraSettings>;
using Changes = std::vector<std::pair<std::size_t, kcColorCameraSettings>>;

const kcColorCameraSettings S(0.01, 0.5, 0.5), A(1e-6, 0.0, 0.0), B(0.2, 0.5, 0.5), C(0.01, 1.0, 0.5),
    D(0.01, 0.5, 1.0), G(0.1, 0.25, 0.5);

void pair(Path& path, const kcColorCameraSettings& s) { path.insert(path.end(), {s, s}); }

// A cycle as the search makes it: each candidate in a pair, then a settling
// pair and a single image at the cycle's best.
void cycle(Path& path, std::initializer_list<kcColorCameraSettings> candidates, const kcColorCameraSettings& best) {
  for (const auto& c : candidates) pair(path, c);
  pair(path, best);
  path.push_back(best);
}

Changes changesAlong(const Path& path, const kcColorCameraSettings& result) {
  Changes changes;
  for (const BestChange& c : bestSettingsAlong(path, result)) changes.emplace_back(c.acquisition, c.settings);
  return changes;
}

}  // namespace

TEST(SearchPath, BestOfEachCycleIsDatedFromItsMeasurementAndHeldUntilABetterOne) {
  Path path{S};
  cycle(path, {A, B, S}, B);  // B wins the first cycle: acquisitions 3 and 4
  Path endsInside = path;
  cycle(path, {C, D}, B);  // nothing better
  const std::size_t gAt = path.size() + 2;
  cycle(path, {D, G}, G);  // G measured last: its pair runs on into the settling images
  EXPECT_EQ(changesAlong(path, G), (Changes{{0, S}, {3, B}, {gAt, G}}));

  // A search ending inside a cycle ends at its result.
  const std::size_t dAt = endsInside.size() + 2;
  pair(endsInside, C);
  pair(endsInside, D);  // D became best for the fourth time: the search stops here
  EXPECT_EQ(changesAlong(endsInside, D), (Changes{{0, S}, {3, B}, {dAt, D}}));
}

TEST(SearchPath, ShortPaths) {
  EXPECT_TRUE(bestSettingsAlong({}, S).empty());
  EXPECT_EQ(changesAlong({S}, S), (Changes{{0, S}}));
  // A cycle with no candidate measures the best again: runs of even length at it change nothing.
  Path still{S};
  cycle(still, {}, S);
  cycle(still, {}, S);
  EXPECT_EQ(changesAlong(still, S), (Changes{{0, S}}));
}
