// The sweep's poses and its verdicts: what a wrong sweep would report
// without anyone noticing.
#include <gtest/gtest.h>

#include <set>

#include "chart_placement.h"
#include "pose_zones.h"
#include "start_settings.h"
#include "sweep_summary.h"

namespace {

const cv::Size kSensor(1280, 1024), kChart(960, 640);

TEST(SweepPoses, StayInTheZonesWithTheWholeChartInViewAndRepeatWithTheSeed) {
  const std::vector<kcSimPose> poses = drawPoses(40, 7, kSensor, kChart);
  ASSERT_EQ(poses.size(), 40u);
  for (const kcSimPose& pose : poses) {
    EXPECT_LE(std::abs(pose.rotation), 20.0);
    EXPECT_TRUE(pose.scale >= 0.8 && pose.scale <= 1.2) << pose.scale;
    for (const cv::Point2d& corner : ChartPlacement(pose, kSensor, kChart).corners())
      EXPECT_TRUE(corner.inside(cv::Rect2d(8.0, 8.0, kSensor.width - 16.0, kSensor.height - 16.0))) << corner;
  }
  EXPECT_EQ(drawPoses(40, 7, kSensor, kChart).back().x, poses.back().x);
  EXPECT_NE(drawPoses(40, 8, kSensor, kChart).back().x, poses.back().x);
  EXPECT_THROW(drawPoses(1, 7, cv::Size(700, 500), kChart), std::invalid_argument);
  // The default zones draw what they always drew: sweeps stay comparable.
  const kcSimPose first = drawPoses(1, 1, cv::Size(640, 512), cv::Size(480, 320)).front();
  EXPECT_NEAR(*first.x, 312.2920517418478, 1e-9);
  EXPECT_NEAR(*first.y, 194.82681762621903, 1e-9);
  EXPECT_NEAR(first.rotation, -14.64493423949869, 1e-12);
  EXPECT_NEAR(first.scale, 0.854562814546479, 1e-12);

  // The aligned pose puts chart pels on sensor pels.
  const cv::Point2d origin = ChartPlacement(alignedPose(cv::Size(1279, 1023), kChart), cv::Size(1279, 1023), kChart)
                                 .toSensor({0.0, 0.0});
  EXPECT_EQ(origin, cv::Point2d(std::round(origin.x), std::round(origin.y)));
}

TEST(SweepPoses, TiltedZonesTurnTheChartEveryWayAndKeepItWhollyInView) {
  const PoseZones zones{20.0, 0.4, 2.5, 30.0, true};
  const cv::Size chart(320, 213);
  std::set<long> turns;
  double largestTilt = 0.0, smallestScale = 10.0, largestScale = 0.0;
  for (const kcSimPose& pose : drawPoses(200, 3, kSensor, chart, zones)) {
    const long turn = std::lround(pose.rotation / 90.0);
    turns.insert(turn);
    EXPECT_LE(std::abs(pose.rotation - 90.0 * static_cast<double>(turn)), 20.0);
    EXPECT_TRUE(pose.scale >= 0.4 && pose.scale <= 2.5) << pose.scale;
    EXPECT_TRUE(pose.tilt >= 0.0 && pose.tilt <= 30.0) << pose.tilt;
    for (const cv::Point2d& corner : ChartPlacement(pose, kSensor, chart).corners())
      EXPECT_TRUE(corner.inside(cv::Rect2d(8.0, 8.0, kSensor.width - 16.0, kSensor.height - 16.0))) << corner;
    largestTilt = std::max(largestTilt, pose.tilt);
    smallestScale = std::min(smallestScale, pose.scale);
    largestScale = std::max(largestScale, pose.scale);
  }
  EXPECT_EQ(turns, (std::set<long>{0, 1, 2, 3}));
  EXPECT_GT(largestTilt, 27.0);
  EXPECT_LT(smallestScale, 0.5);
  EXPECT_GT(largestScale, 2.3);
  // A chart that cannot fit at the largest scale is refused, not quietly
  // drawn at smaller scales only.
  EXPECT_THROW(drawPoses(1, 3, kSensor, kChart, zones), std::invalid_argument);
}

PoseMeasurement measured(double crossTalk, double afterShare, double meanDeltaE, double maxDeltaE) {
  PoseMeasurement m;
  m.sweepCase.crossTalk = crossTalk;
  m.before = {20.0, 20.0, 20.0};
  m.after = std::array<double, 3>{2.0, 20.0 * afterShare, 2.0};
  m.meanDeltaE = meanDeltaE;
  m.maxDeltaE = maxDeltaE;
  return m;
}

TEST(SweepGoals, CountFailuresAsMissesAndColourErrorOnlyWithoutCrossTalk) {
  std::vector<PoseMeasurement> sweep = {measured(0.0, 0.1, 0.4, 1.4), measured(0.05, 0.16, 3.0, 5.0)};
  sweep.push_back({});
  sweep.back().failure = "no pattern";
  // A tilted pose that ends 0.15 worse than the same pose square on.
  sweep.push_back(measured(0.0, 0.1, 0.4, 1.4));
  sweep.back().correctedMeanDeltaE = 0.3;
  sweep.back().untiltedCorrectedMeanDeltaE = 0.15;

  std::vector<int> missed;
  for (const GoalVerdict& v : judgeGoals(sweep)) missed.push_back(v.missed);
  // Ratio (0.16, failed); edge (failed); mean, max dE and clipping at no
  // cross-talk (failed only); tilt (failed, the tilted pose).
  EXPECT_EQ(missed, (std::vector<int>{2, 1, 1, 1, 1, 2}));

  const std::vector<SweepSummary> summaries = summarize(sweep);
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0].poses, 3);
  EXPECT_EQ(summaries[0].failed, 1);
  EXPECT_DOUBLE_EQ(summaries[1].worstRatio[1], 0.16);
  EXPECT_DOUBLE_EQ(summaries[1].maxOfMaxDeltaE, 5.0);
}

// Start settings cover their ranges, the exposure evenly in its logarithm,
// and a pose's start depends on the seed and that pose alone.
TEST(SweepStartSettings, SpreadOverTheirRangesAndRepeatPerPose) {
  int shortHalf = 0;
  for (int pose = 1; pose <= 400; ++pose) {
    const kcColorCameraSettings s = drawStartSettings(3, pose);
    EXPECT_TRUE(s.exposure() >= 0.002 && s.exposure() <= 0.1) << s.exposure();
    EXPECT_TRUE(s.contrast() >= 0.0 && s.contrast() <= 1.0) << s.contrast();
    EXPECT_TRUE(s.brightness() >= 0.3 && s.brightness() <= 0.7) << s.brightness();
    if (s.exposure() < std::sqrt(0.002 * 0.1)) ++shortHalf;
  }
  EXPECT_NEAR(shortHalf, 200, 40);
  EXPECT_EQ(drawStartSettings(3, 17).exposure(), drawStartSettings(3, 17).exposure());
  EXPECT_NE(drawStartSettings(4, 17).exposure(), drawStartSettings(3, 17).exposure());
  EXPECT_NE(drawStartSettings(3, 18).exposure(), drawStartSettings(3, 17).exposure());
}

}  // namespace
