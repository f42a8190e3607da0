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

#include "calibration_verdict.h"
#include "colc/driver/calibration_observer.h"
#include "colc/host/acq.h"
#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/host/target_finder.h"
#include "correction_stage.h"
#include "exit_status.h"

struct CalibrationRun {
  kcColorCameraSettings start;
  kcColorCalibrationResult result;
  // The settings of every acquisition of the search, in order, and its
  // steps as the library told them.
  std::vector<kcColorCameraSettings> acquisitions;
  std::vector<kcCalibrationSearchStep> steps;
  double seconds = 0.0;  // the time kfColorCalibrate took
  // What the search's frames took on the camera (exposure plus read-out
  // each): known for cameras that keep time, the simulated one, where it
  // is the time a real camera would have needed.
  std::optional<double> cameraSeconds;
  // The time the calibration spent computing: seconds without the frame
  // time that a simulated camera waited through.
  double computingSeconds = 0.0;
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
// quick: the quick search (kfColorCalibrateQuick) instead of kfColorCalibrate.
// With fitColorCorrection, a colour correction is adopted when it lowers
// the colour error on held-out regions.
CalibrationRun runCalibration(const kcPtrHandle<kcAcqFifo>& camera, const kc3PlanePelBuffer& reference,
                              const kcColorCalibrationParams& params, bool recordDiagnostics,
                              const AcquisitionListener& onAcquisition, bool quick = false,
                              bool fitColorCorrection = true);
