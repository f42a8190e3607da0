// The sensor's shortcut for runs of equal light: the runs it finds, its
// byte lookup, and images identical to those computed pel by pel.
#include <gtest/gtest.h>

#include <numeric>

#include "host/acq/sim/byte_lookup.h"
#include "host/acq/sim/scene.h"
#include "host/acq/sim/sensor.h"
#include "host/acq/sim/target_chart.h"
#include "host/imaging/cv_bridge.h"

namespace {

constexpr int kW = 400, kH = 300;

// The default camera's view (off the pel grid, turned, blurred, integrated)
// of a chart smaller than the sensor, so that background, card, patches and
// their slanted edges all appear.
kcSimCameraConfig defaultView(int taps) {
  kcSimCameraConfig c;
  c.width = kW;
  c.height = kH;
  c.taps = taps;
  c.crossTalk = 0.03;
  return c;
}

cv::Mat stacked(const kc3PlanePelBuffer& image) {
  cv::Mat all;
  cv::vconcat(std::vector<cv::Mat>{kfMatView(image.plane0()), kfMatView(image.plane1()), kfMatView(image.plane2())},
              all);
  return all;
}

TEST(SimFlatRuns, RunsHoldOneLevelStayInTheirTapAndCoverMuchOfAChart) {
  const int taps = 3;
  kcSimScene scene(kfSimTargetChart(300), defaultView(taps));
  const cv::Mat& levels = scene.levels();
  const kcSimFlatRuns& runs = scene.flatRuns();
  ASSERT_EQ(runs.taps(), taps);
  std::size_t covered = 0;
  for (int row = 0; row < levels.rows; ++row) {
    int previousEnd = 0;
    for (const kcSimFlatRuns::Run& run : runs.row(row)) {
      ASSERT_LE(previousEnd, run.x0);
      ASSERT_LT(run.x0, run.x1);
      const kcSimFlatRuns::Level& level = runs.levels()[run.table / taps];
      const int tap = static_cast<int>(run.table % taps);
      ASSERT_EQ(level.plane, row / kH);
      EXPECT_LE(kW * tap / taps, run.x0);
      EXPECT_LE(run.x1, kW * (tap + 1) / taps);
      const cv::Mat pels = levels.row(row).colRange(run.x0, run.x1);
      EXPECT_EQ(cv::countNonZero(pels != level.level), 0) << row << " " << run.x0;
      covered += run.x1 - run.x0;
      previousEnd = run.x1;
    }
  }
  EXPECT_GT(static_cast<double>(covered), 0.4 * static_cast<double>(levels.total()));
  EXPECT_LT(static_cast<double>(covered), 0.99 * static_cast<double>(levels.total()));  // edges go the ordinary way
}

TEST(SimFlatRuns, ImagesEqualThoseComputedPelByPel) {
  for (const int taps : {1, 3}) {
    kcSimScene scene(kfSimTargetChart(300), defaultView(taps));
    kcSimSensor withRuns(kW, kH, taps, 1.0, 7), pelByPel(kW, kH, taps, 1.0, 7);
    kcSimExposure s{0.02, std::vector<double>(taps, 0.6), std::vector<double>(taps, 0.35), {}};
    s.contrast[0] = 0.3;
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 256; ++i) s.tables[k][i] = static_cast<unsigned char>(k == 1 ? 255 - i : (i * 7) % 256);
    for (unsigned long frame = 1; frame <= 3; ++frame) {
      const cv::Mat a = stacked(withRuns.expose(scene.levels(), scene.flatRuns(), s, frame));
      const cv::Mat b = stacked(pelByPel.expose(scene.levels(), kcSimFlatRuns(), s, frame));
      EXPECT_EQ(cv::norm(a, b, cv::NORM_INF), 0) << taps << " taps, frame " << frame;
    }
  }
}

TEST(SimFlatRuns, RunsFoundForOtherTapsAreRefused) {
  kcSimScene scene(kfSimTargetChart(300), defaultView(2));
  kcSimSensor sensor(kW, kH, 1, 1.0, 1);
  EXPECT_THROW(sensor.expose(scene.levels(), scene.flatRuns(), kcSimExposure{0.01, {0.5}, {0.5}, {}}, 1),
               kcBadArgument);
}

// Lengths and starts around the 64-byte blocks, every index value.
TEST(SimByteLookup, EqualsTheTableForEveryIndexLengthAndAlignment) {
  std::vector<std::uint8_t> table(256), index(300);
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>((i * 131 + 17) % 256);
  for (std::size_t i = 0; i < index.size(); ++i) index[i] = static_cast<std::uint8_t>(255 - (i * 89) % 256);
  for (std::size_t start : {0, 1, 63}) {
    for (std::size_t n : {0, 1, 63, 64, 65, 128, 200, 237}) {
      std::vector<std::uint8_t> out(index.size() + 2, 0xAB);
      kfByteLookup()(index.data() + start, table.data(), out.data() + 1, n);
      EXPECT_EQ(out[0], 0xAB);
      for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(out[1 + i], table[index[start + i]]) << start << " " << n << " " << i;
      EXPECT_EQ(out[1 + n], 0xAB) << "written past the end: " << start << " " << n;
    }
  }
}

}  // namespace
