// One calibration as colc runs it: the camera's view at the settings it
// was found with, kfColorCalibrate, the view at the calibrated settings
// with the pel maps applied, and whether that helped; the camera is put
// back as it was found on every exit. Failures leave as CommandFailure of
// the kind that fits (target not found, camera failed); a cancellation as
// kcCancelled. A calibration that did not help is no failure here: the
// run says so in its verdict.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/calibration_verdict.h"
#include "colc/driver/calibration_observer.h"
#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/host/target_finder.h"
#include "app/correction_stage.h"
#include "app/exit_status.h"

// Which search a calibration runs: the quick search (kfColorCalibrateQuick),
// colc's default, or the full search (kfColorCalibrate), which makes about
// twenty times the acquisitions.
enum class CalibrationSearch { quick, full };

// "quick" or "full", as the summary and the JSON name it.
const char* searchName(CalibrationSearch search);

struct CalibrationRun {
  CalibrationSearch search = CalibrationSearch::quick;
  kcColorCameraSettings start;
  kcColorCalibrationResult result;
  // The settings of every acquisition of the search, in order, and its
  // steps as the library told them.
  std::vector<kcColorCameraSettings> acquisitions;
  std::vector<kcCalibrationSearchStep> steps;
  double seconds = 0.0;  // the time the search took, on the wall clock
  // What the search's frames took on the camera (exposure plus read-out
  // each): known for cameras that keep time, the simulated one, where it
  // is the time a real camera would have needed.
  std::optional<double> cameraSeconds;
  // The processor time colc spent on the search, without the simulated
  // camera's own, which a real camera spends in its hardware: that is
  // simulationSeconds, known for the simulated camera only.
  double computingSeconds = 0.0;
  std::optional<double> simulationSeconds;
  kc3PlanePelBuffer startView;
  // What our own finder found in the search's first view (the quick
  // search's); unset for the full search, whose pose finding says nothing
  // of how well it fits.
  std::optional<kcTargetMatch> target;
  // The mean absolute difference per plane between the view, resampled
  // onto the reference's grid, and the reference: at the start settings,
  // and at the calibrated settings through the whole correction (the
  // colour correction when one was adopted, otherwise the pel maps).
  std::array<double, 3> before{};
  std::array<double, 3> after{};
  // Per plane, the share of the view's samples at 0 or 255 on the same
  // grid, at the calibrated settings before the pel maps.
  std::array<double, 3> clipped{};
  ExposureEdge exposureEdge = ExposureEdge::none;  // where the calibrated exposure lies in the search's range
  // The colour correction adopted, if any, and the colour error (correction_stage.h).
  ColourStage colour;
  // Whether all that helped (calibration_verdict.h).
  CalibrationVerdict verdict;
  // The calibration's result records ("Color image" ...), when asked for.
  kcDiagObject diagnostics;
};

// The target was not found in the camera's first view: the message names
// the cause in one line; the view and the finder's best candidate are kept
// so that the user can be shown them.
class TargetNotFoundFailure : public CommandFailure {
 public:
  TargetNotFoundFailure(const std::string& message, const kc3PlanePelBuffer& view, const kcTargetMatch& candidate)
      : CommandFailure(ExitStatus::targetNotFound, message), view_(view), candidate_(candidate) {}
  const kc3PlanePelBuffer& view() const { return view_; }
  const kcTargetMatch& candidate() const { return candidate_; }

 private:
  kc3PlanePelBuffer view_;
  kcTargetMatch candidate_;
};

using AcquisitionListener = std::function<void(const kcColorCameraSettings&)>;

// onAcquisition hears of every acquisition of the calibration (the
// search's, and the result records' when recordDiagnostics) as it starts.
// The result records' image is taken after everything else, so that the
// run is the same with and without them.
// With fitColorCorrection, a colour correction is adopted when it lowers
// the colour error on held-out regions.
CalibrationRun runCalibration(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference,
                              const kcColorCalibrationParams& params, bool recordDiagnostics,
                              const AcquisitionListener& onAcquisition, CalibrationSearch search,
                              bool fitColorCorrection = true);
