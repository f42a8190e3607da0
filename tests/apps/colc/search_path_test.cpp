#include "search_path.h"

#include <gtest/gtest.h>

namespace {

using Path = std::vector<kcColorCameraSettings>;

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

}  // namespace

TEST(SearchPath, BestOfEachCycleIsDatedFromItsMeasurementAndHeldUntilABetterOne) {
  Path path{S};
  cycle(path, {A, B, S}, B);  // B wins the first cycle: acquisitions 3 and 4
  cycle(path, {C, D}, B);     // nothing better
  const std::size_t gAt = path.size() + 2;
  cycle(path, {D, G}, G);  // G measured last: its pair runs on into the settling images
  const auto changes = bestSettingsAlong(path, G);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].acquisition, 0u);
  EXPECT_EQ(changes[0].settings, S);
  EXPECT_EQ(changes[1].acquisition, 3u);
  EXPECT_EQ(changes[1].settings, B);
  EXPECT_EQ(changes[2].acquisition, gAt);
  EXPECT_EQ(changes[2].settings, G);
}

TEST(SearchPath, ASearchEndingInsideACycleEndsAtItsResult) {
  Path path{S};
  cycle(path, {A, B, S}, B);
  const std::size_t dAt = path.size() + 2;
  pair(path, C);
  pair(path, D);  // D became best for the fourth time: the search stops here
  const auto changes = bestSettingsAlong(path, D);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[2].acquisition, dAt);
  EXPECT_EQ(changes[2].settings, D);
}

TEST(SearchPath, ShortPaths) {
  EXPECT_TRUE(bestSettingsAlong({}, S).empty());
  const auto one = bestSettingsAlong({S}, S);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].settings, S);
  // A cycle with no candidate measures the best again: runs of even length at it change nothing.
  Path still{S};
  cycle(still, {}, S);
  cycle(still, {}, S);
  EXPECT_EQ(bestSettingsAlong(still, S).size(), 1u);
}
