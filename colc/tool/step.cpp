// One step of the search: pose finding, measuring candidates, settling and
// adapting the step width, as the phase of the tool says.
#include <algorithm>

#include "colc/host/acq.h"
#include "colc/tool/internal/measurement_order.h"
#include "colc/tool/internal/search_pose.h"
#include "colc/tool/tool.h"
#include "colc/tool/internal/tool_state.h"

namespace {

constexpr std::int32_t kBestRepeatLimit = 3;  // the fourth time as best ends the search
constexpr double kScaleFloor = 0.05;
constexpr double kScaleCeilingForDoubling = 10.0;
constexpr std::int32_t kCycleLimit = 5000;

}  // namespace

kcColorCameraSettings kcColorCalibrationTool::nextSettingsFromAcquiredImages(kcPtrHandle<kcAcqImage>& first,
                                                                             kcPtrHandle<kcAcqImage>& second,
                                                                             kcDiagObject* diag,
                                                                             unsigned long diagFlags) {
  kc3PlanePelBuffer firstImage;
  kc3PlanePelBuffer secondImage;
  if (repeatAcquire_) {
    secondImage = second->get3PlanePelBuffer();
    firstImage = first->get3PlanePelBuffer();
  } else {
    firstImage = first->get3PlanePelBuffer();
  }
  return nextSettingsFromColorImages(firstImage, secondImage, diag, diagFlags);
}

kcColorCameraSettings kcColorCalibrationTool::nextSettingsFromColorImages(const kc3PlanePelBuffer& first,
                                                                          const kc3PlanePelBuffer& second,
                                                                          kcDiagObject* diag,
                                                                          unsigned long diagFlags) {
  kcColorCalibrationToolState& s = *state_;
  switch (s.phase) {
    case kePhase::ePose:
      findPose(first, diag, diagFlags);
      initializeSettingsForColorImage();
      s.phase = kePhase::eSearch;
      repeatAcquire_ = true;
      break;
    case kePhase::eSearch:
      takeMeasurement(kfMeasureColorImages(params_, s.referenceImage, s.sampling, first, second));
      break;
    case kePhase::eSettle:
      // The images of this step are not used: the acquisition only lets
      // the camera settle at the best settings.
      s.phase = kePhase::eAdapt;
      repeatAcquire_ = false;
      break;
    case kePhase::eAdapt:
      adaptScale();
      break;
  }
  return nextSettings_;
}

void kcColorCalibrationTool::findPose(const kc3PlanePelBuffer& first, kcDiagObject* diag, unsigned long diagFlags) {
  kcColorCalibrationToolState& s = *state_;
  kfFindSearchPose(first, calibrationImage_, s.referenceImage, s.sampling, diag, diagFlags);
}

void kcColorCalibrationTool::takeMeasurement(const kcColorCalibrationMeasurement& m) {
  kcColorCalibrationToolState& s = *state_;
  if (s.firstMeasurement || isBetter(s.best, m)) {
    s.best = m;
    const std::vector<kcColorCalibrationChannelResultInternal> fits = s.best.results.results();
    // A measurement carries three fits or none; never more than there are channels.
    const std::size_t n = std::min(fits.size(), channelResults_.size());
    for (std::size_t i = 0; i < n; ++i) channelResults_[i].init(fits[i].gain(), fits[i].offset(), fits[i].rmsError());
    s.improved = true;
    result_ = nextSettings_;

    const auto seen = std::find(s.bestHistory.begin(), s.bestHistory.end(), result_);
    if (seen != s.bestHistory.end()) {
      std::int32_t& count = s.bestHistoryCounts[static_cast<std::size_t>(seen - s.bestHistory.begin())];
      if (++count > kBestRepeatLimit) done_ = true;
    } else {
      s.bestHistory.push_back(result_);
      s.bestHistoryCounts.push_back(1);
    }
    s.firstMeasurement = false;
  }
  ++s.candidateIndex;
  if (!assignNextSettings()) {
    nextSettings_ = result_;
    s.phase = kePhase::eSettle;
  }
}

void kcColorCalibrationTool::adaptScale() {
  kcColorCalibrationToolState& s = *state_;
  if (s.improved) {
    if (s.searchScale < kScaleCeilingForDoubling) s.searchScale *= 2.0;
  } else {
    s.searchScale *= 0.5;
    s.improved = true;
    if (s.searchScale < kScaleFloor) done_ = true;
  }
  ++s.cycleCount;
  if (s.cycleCount > kCycleLimit) {
    done_ = true;
  } else if (!done_) {
    initializeSettingsForColorImage();
    s.phase = kePhase::eSearch;
    repeatAcquire_ = true;
  }
}

bool kcColorCalibrationTool::isBetter(const kcColorCalibrationMeasurement& best,
                                      const kcColorCalibrationMeasurement& candidate) {
  return kfIsBetterMeasurement(best, candidate);
}
