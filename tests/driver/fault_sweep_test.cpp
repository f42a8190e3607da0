// Fault sweeps of the one-call calibrations (with the defined and with the
// quick search) on the simulated camera: every
// kind of camera fault is injected at every acquisition (and a failing
// property write at every write) of a short calibration. After each run
// the camera must be back exactly as it was found, and the caller's result
// filled or untouched as the failure rules say.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "colc/driver/calibrate.h"
#include "colc/driver/calibrate_quick.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cancellation.h"
#include "support/calibration_cameras.h"
#include "support/calibration_in_poses.h"

namespace {

// A short calibration: a 128 x 96 noise-free sensor showing a 96-pel chart
// at its own size; exposure is the only setting searched, on a coarse grid,
// without pel mapping. About 60 acquisitions.
kcPtrHandle<kcInstrumentedAcqFifo> openCamera() {
  kcSimCameraConfig config = kfParseSimCameraOptions("width=128,height=96,noise=0");
  config.target = kfSimTargetChart(96);
  kcPtrHandle<kcInstrumentedAcqFifo> fifo = kfOpenSimCamera(config);
  // A state unlike the one the calibration works in, set on the camera
  // itself so that these writes do not count towards the injected faults.
  kcAcqFifo& camera = *fifo->inner();
  camera.triggerEnable(false);
  camera.properties().exposureProp().exposure(0.04);
  camera.properties().contrastBrightnessProp().setContrastEx(0.45, kcContrastBrightnessProp::kAllTaps);
  camera.properties().contrastBrightnessProp().setBrightnessEx(0.55, kcContrastBrightnessProp::kAllTaps);
  std::vector<unsigned char> gamma(256);
  for (int i = 0; i < 256; ++i) gamma[i] = static_cast<unsigned char>(255.0 * std::sqrt(i / 255.0) + 0.5);
  camera.properties().inputLutProp().inputLut(gamma.data());
  return fifo;
}

const kc3PlanePelBuffer& reference() {
  static const kc3PlanePelBuffer chart = kfSimTargetChart(96);
  return chart;
}

kcColorCalibrationParams exposureOnly() {
  kcColorCalibrationParams params = kfQuickParams();
  params.exposureRange({0.02, 0.04});
  params.minExposureStepSize(0.02);
  return params;
}

kcColorCalibrationParams differenceOnly() {
  kcColorCalibrationParams params;
  params.allowPelMapping(false);
  return params;
}

// A result the calibration must leave alone unless the rules say to fill it.
kcColorCalibrationResult sentinel() {
  kcColorCalibrationResult result;
  result.exposure(-1.0);
  result.brightness(7.0);
  result.channelResults(std::vector<kcColorCalibrationChannelResult>(2));
  return result;
}

bool isSentinel(const kcColorCalibrationResult& result) {
  return result == sentinel() && result.acqInfo().sequence() == 0 && !result.acqInfo().failure().isFailure();
}

enum class Outcome { eReturned, eTimedOut, eCancelled, eWriteFailed, eOther };

struct Calibration {
  Outcome outcome = Outcome::eOther;
  kcColorCalibrationResult result = sentinel();
  bool restored = false;
  unsigned long completions = 0;
};

// A calibration entry point with parameters that make it short. The quick
// search is short anyway and searches all three settings, so that its
// faults land in every stage: pose, probes, model and refinement.
struct Sweep {
  const char* name;
  CalibrateCall call;
  kcColorCalibrationParams params;
  friend void PrintTo(const Sweep& sweep, std::ostream* out) { *out << sweep.name; }
};

// One calibration with the given faults on a fresh camera.
Calibration calibrate(const Sweep& sweep, const kcAcqFaults& faults) {
  kcPtrHandle<kcInstrumentedAcqFifo> fifo = openCamera();
  const FifoState before = kfFifoStateOf(*fifo);
  fifo->faults() = faults;
  Calibration run;
  try {
    sweep.call(fifo, reference(), sweep.params, run.result, nullptr, 0);
    run.outcome = Outcome::eReturned;
  } catch (const kcTimeout::Expired&) {
    run.outcome = Outcome::eTimedOut;
  } catch (const kcCancelled&) {
    run.outcome = Outcome::eCancelled;
  } catch (const kcIOError&) {
    run.outcome = Outcome::eWriteFailed;
  } catch (const kcException& e) {
    ADD_FAILURE() << "unexpected " << e.what();
  }
  kfClearCancel();
  run.completions = fifo->completions();
  fifo->faults() = kcAcqFaults();
  run.restored = kfFifoStateOf(*fifo) == before;
  return run;
}

class FaultSweep : public testing::TestWithParam<Sweep> {
 protected:
  Calibration calibrate(const kcAcqFaults& faults) const { return ::calibrate(GetParam(), faults); }
};

}  // namespace

TEST_P(FaultSweep, EveryFaultAtEveryAcquisitionRestoresTheCameraAndKeepsTheFailureRules) {
  const Calibration clean = calibrate({});
  ASSERT_EQ(clean.outcome, Outcome::eReturned);
  ASSERT_TRUE(clean.restored);
  const unsigned long acquisitions = clean.completions;
  ASSERT_GT(acquisitions, 3u);
  int runs = 1;

  // Failed, unbound and timed-out acquisitions all end the search at the
  // same point, so their results must agree; only the acquisition
  // information tells them apart.
  for (unsigned long n = 1; n <= acquisitions; ++n) {
    SCOPED_TRACE("acquisition " + std::to_string(n));
    kcAcqFaults f[4];
    f[0].failAt = f[1].unboundAt = f[2].timeoutAt = f[3].cancelAt = n;
    const Calibration failed = calibrate(f[0]), unboundRun = calibrate(f[1]), timedOut = calibrate(f[2]),
                      cancelled = calibrate(f[3]);
    runs += 4;
    // A cancelled run stops at the first attention check after the acquisition.
    for (const auto& [name, run, outcome] : {std::tuple{"failed", &failed, Outcome::eReturned},
                                             {"unbound", &unboundRun, Outcome::eReturned},
                                             {"timed out", &timedOut, Outcome::eTimedOut},
                                             {"cancelled", &cancelled, Outcome::eCancelled}}) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(run->restored);
      EXPECT_EQ(run->outcome, outcome);
      EXPECT_EQ(run->completions, n);
    }
    EXPECT_EQ(failed.result.channelResults().size(), 3u);
    EXPECT_TRUE(failed.result.acqInfo().failure().isFailure());
    if (n == 1) {  // before any measurement: the tool's state as init left it
      EXPECT_EQ(failed.result.exposure(), 0.0);
      EXPECT_EQ(failed.result.contrast(), 0.0);
      EXPECT_EQ(failed.result.channelResults(), std::vector<kcColorCalibrationChannelResult>(3));
    }

    EXPECT_FALSE(unboundRun.result.acqInfo().failure().isFailure());
    EXPECT_EQ(unboundRun.result, failed.result);
    EXPECT_EQ(timedOut.result, failed.result);
    EXPECT_TRUE(isSentinel(cancelled.result));
  }

  // A property write that throws, at every write the calibration makes
  // before it puts the camera back. The first fault that lands in the
  // restore itself ends the sweep: the restore stops at a failing write
  // (and the calibration returns), so that run cannot restore everything.
  unsigned long w = 1;
  for (;; ++w) {
    SCOPED_TRACE("write " + std::to_string(w));
    kcAcqFaults faults;
    faults.writeFailAt = w;
    const Calibration run = calibrate(faults);
    ++runs;
    if (run.outcome == Outcome::eReturned) break;
    EXPECT_EQ(run.outcome, Outcome::eWriteFailed);
    EXPECT_TRUE(run.restored);
    EXPECT_TRUE(isSentinel(run.result));
    ASSERT_LT(w, 100 * acquisitions) << "the write sweep does not end";
  }
  std::printf("fault sweep: %d calibrations, faults at %lu acquisitions and %lu writes\n", runs, acquisitions, w - 1);
}

INSTANTIATE_TEST_SUITE_P(Searches, FaultSweep,
                         testing::Values(Sweep{"Defined", &kfColorCalibrate, exposureOnly()},
                                         Sweep{"Quick", &kfColorCalibrateQuick, differenceOnly()}),
                         [](const testing::TestParamInfo<Sweep>& info) { return std::string(info.param.name); });
