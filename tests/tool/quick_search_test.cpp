// The quick search driven by hand on a simulated camera: what it acquires,
// and what it holds to while doing so.
#include "colc/tool/internal/quick_search.h"
#include "colc/tool/target_pose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "colc/driver/acquisition.h"
#include "colc/records/errors.h"
#include "support/calibration_cameras.h"
#include "support/test_planes.h"

namespace {

struct Search {
  std::vector<kcColorCameraSettings> acquired;  // in order
  kcColorCameraSettings start;
};

// Runs the search to its end, one image per step, as the driver does.
Search run(kcColorCalibrationQuickSearch& search, const kcPtrHandle<kcInstrumentedAcqFifo>& fifo,
           const kcColorCalibrationParams& params) {
  fifo->triggerModel(kfManualTrigger());
  Search s;
  s.start = kcColorCameraSettings(0.01, 0.5, 0.5);  // the camera's own on opening
  kcColorCameraSettings next = search.init(params, s.start, kfViewChart());
  kcPtrHandle<kcAcqImage> unused;
  while (!search.done()) {
    EXPECT_FALSE(search.repeatAcquire());
    kcAcquireInfo info;
    bool failed = false;
    kcPtrHandle<kcAcqImage> image = kfAcquireImage(fifo, next, info, failed);
    EXPECT_FALSE(failed);
    s.acquired.push_back(next);
    next = search.nextSettingsFromAcquiredImages(image, unused, nullptr, 0);
    if (s.acquired.size() > 100) break;
  }
  return s;
}

bool contains(const std::vector<kcColorCameraSettings>& all, const kcColorCameraSettings& s) {
  return std::find(all.begin(), all.end(), s) != all.end();
}

}  // namespace

// Every image counts once: no settings are acquired twice, the budget
// holds, and the result is settings it measured, with its three fits.
TEST(QuickSearch, AcquiresEachSettingsOnceWithinItsBudgetAndEndsAtOneItMeasured) {
  kcColorCalibrationQuickSearch search;
  const Search s = run(search, kfOpenViewCamera(), kcColorCalibrationParams());
  ASSERT_TRUE(search.done());
  EXPECT_LE(s.acquired.size(), static_cast<std::size_t>(kcColorCalibrationQuickSearch::kAcquisitionBudget));
  EXPECT_EQ(search.measurements(), static_cast<int>(s.acquired.size()));
  EXPECT_EQ(s.acquired.front(), s.start);
  for (std::size_t i = 0; i < s.acquired.size(); ++i)
    EXPECT_FALSE(contains({s.acquired.begin(), s.acquired.begin() + static_cast<long>(i)}, s.acquired[i]))
        << "acquisition " << i + 1 << " repeats settings";
  EXPECT_TRUE(contains(s.acquired, search.result()));
  ASSERT_EQ(search.channelResults().size(), 3u);
  for (const auto& c : search.channelResults()) EXPECT_GT(c.rmsError(), 0.0);
  // Far from the ends of the exposure range (1e-6 .. 0.3 s).
  EXPECT_GT(search.result().exposure(), 0.005);
  EXPECT_LT(search.result().exposure(), 0.2);
}

// A disabled setting keeps its start value exactly; exposures stay in their
// range, on the grid.
TEST(QuickSearch, HoldsDisabledSettingsAndKeepsExposuresInTheirRangeOnTheGrid) {
  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.exposureRange({0.01, 0.03});
  params.minExposureStepSize(0.0005);
  kcColorCalibrationQuickSearch search;
  const Search s = run(search, kfOpenViewCamera(), params);
  ASSERT_TRUE(search.done());
  EXPECT_GT(s.acquired.size(), 3u);
  for (const kcColorCameraSettings& a : s.acquired) {
    EXPECT_EQ(a.contrast(), 0.5);
    EXPECT_GE(a.exposure(), 0.01 - 0.00025);
    EXPECT_LE(a.exposure(), 0.03 + 0.00025);
    EXPECT_NEAR(a.exposure() / 0.0005, std::round(a.exposure() / 0.0005), 1e-6) << a.exposure();
    EXPECT_GE(a.brightness(), 0.0);
    EXPECT_LE(a.brightness(), 1.0);
  }
}

// With the level set by the exposure alone, on a grid coarser than the
// refinement's spans, the refinement still tries the neighbouring grid
// points of its best exposure.
TEST(QuickSearch, OnACoarseExposureGridTriesTheNeighbouringExposures) {
  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.minExposureStepSize(0.01);
  kcColorCalibrationQuickSearch search;
  const Search s = run(search, kfOpenViewCamera(), params);
  ASSERT_TRUE(search.done());
  std::vector<double> exposures;
  for (const kcColorCameraSettings& a : s.acquired)
    if (std::find(exposures.begin(), exposures.end(), a.exposure()) == exposures.end()) exposures.push_back(a.exposure());
  // The start's, the model's guess and at least one neighbour of the best.
  EXPECT_GE(exposures.size(), 3u);
  const double best = search.result().exposure();
  EXPECT_TRUE(std::any_of(exposures.begin(), exposures.end(),
                          [&](double e) { return std::fabs(std::fabs(e - best) - 0.01) < 1e-9; }))
      << "best exposure " << best;
}

// A first image without the target fails with the cause and changes
// nothing: the next attempt starts the search. init restarts a finished
// search and leaves its result until the new one measures something.
TEST(QuickSearch, PoseFailureChangesNothingAndInitRestarts) {
  auto fifo = kfOpenViewCamera();
  kcColorCalibrationQuickSearch search;
  const kcColorCameraSettings start(0.01, 0.5, 0.5);
  EXPECT_EQ(search.result(), kcColorCameraSettings(0.0, 0.0, 0.0));
  search.init(kcColorCalibrationParams(), start, kfViewChart());
  const kcPelBuffer<unsigned char> flat = makePlane(640, 480, 90);
  kcPtrHandle<kcAcqImage> blank(new kcAcqImage(kc3PlanePelBuffer(flat, flat, flat))), unused;
  try {
    search.nextSettingsFromAcquiredImages(blank, unused, nullptr, 0);
    ADD_FAILURE() << "no error";
  } catch (const kcTargetNotFound& e) {
    EXPECT_EQ(e.match().finding, keTargetFinding::eNotFound);
    EXPECT_EQ(e.text(), "nothing in the camera's view resembles the reference image");
  }
  EXPECT_EQ(search.measurements(), 0);
  EXPECT_EQ(search.result(), kcColorCameraSettings(0.0, 0.0, 0.0));

  run(search, fifo, kcColorCalibrationParams());
  const kcColorCameraSettings found = search.result();
  EXPECT_EQ(search.init(kcColorCalibrationParams(), start, kfViewChart()), start);
  EXPECT_FALSE(search.done());
  EXPECT_EQ(search.measurements(), 0);
  EXPECT_EQ(search.result(), found);
  EXPECT_EQ(search.channelResults(), std::vector<kcColorCalibrationChannelResult>(3));
  EXPECT_FALSE(run(search, fifo, kcColorCalibrationParams()).acquired.empty());
  EXPECT_TRUE(search.done());
}

// With the planes leaking into each other the fits' score ranks a black
// level below zero better (clipping takes the worst-fitting dark patches
// out of the fits), but the search tries no brightness below the camera's
// zero black after its probes, and so ends at none.
TEST(QuickSearch, TriesNoBlackLevelBelowZeroUnderCrossTalk) {
  constexpr double kZeroBlack = 0.4;  // the simulated camera's brightness of black level 0
  kcColorCalibrationQuickSearch search;
  const Search s = run(search, kfOpenViewCamera("crosstalk=0.02"), kcColorCalibrationParams());
  ASSERT_TRUE(search.done());
  ASSERT_GT(s.acquired.size(), 3u);
  for (std::size_t i = 3; i < s.acquired.size(); ++i)
    EXPECT_GT(s.acquired[i].brightness(), kZeroBlack - 0.002) << "acquisition " << i + 1;
  EXPECT_GT(search.result().brightness(), kZeroBlack - 0.002);
}
