// colc.open_camera, colc.calibrate and what they hand back: a calibration
// as colc calibrate runs it, with the same options, checks and failures.
//
// The calibration runs on a thread of its own, without the interpreter's
// lock; the calling thread waits for it and meanwhile lets Python handle
// its signals. When that raises (Ctrl-C: KeyboardInterrupt), or the
// progress callback does, the calibration is asked to stop, puts the
// camera back as it found it and the Python exception is raised.
#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <mutex>
#include <optional>
#include <sstream>

#include "bindings.h"
#include "camera.h"
#include "app/calibration_options.h"
#include "app/calibrate_outputs.h"
#include "app/calibration_context.h"
#include "app/calibration_run.h"
#include "app/calibration_summary.h"
#include "app/camera.h"
#include "app/camera_image.h"
#include "colc/driver/acquisition.h"
#include "errors.h"
#include "app/exit_status.h"
#include "app/files.h"
#include "host/acq/sim/target_chart.h"
#include "host/runtime/cancellation.h"
#include "host/runtime/number_text.h"
#include "numpy_images.h"
#include "app/presentation.h"
#include "app/target_width.h"
#include "app/report.h"
#include "summaries.h"

namespace py = pybind11;

namespace {

// What a calibration found, with the names of what it calibrated and the
// channel order its images are handed back in.
struct Calibration {
  CalibrationRun run;
  kcCalibrationContext context;  // whom the result belongs to
  CalibrationSetup setup;
  ChannelOrder order;
  long referenceWidth = 0, referenceHeight = 0;
};

// Per plane, by plane name.
py::dict byPlane(const std::array<double, 3>& values) {
  py::dict planes;
  for (std::size_t k = 0; k < values.size(); ++k) planes[py::str(planeName(k))] = values[k];
  return planes;
}

// The worker thread's cancellation flag, for the calling thread to set.
// The flag ends with the worker's thread, so it is reached only between
// attach and detach; a request made before attach waits for it.
class WorkerCancellation {
 public:
  void attach() {
    const std::lock_guard<std::mutex> lock(mutex_);
    token_ = kfThisThreadCancelToken();
    if (requested_) kfRequestCancel(token_);
  }
  void detach() {
    const std::lock_guard<std::mutex> lock(mutex_);
    token_ = nullptr;
  }
  void request() {
    const std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    kfRequestCancel(token_);  // ignores a null token
  }

 private:
  std::mutex mutex_;
  kcCancelToken token_ = nullptr;
  bool requested_ = false;
};

using ProgressCall = std::function<void(const kcColorCameraSettings&)>;

// runCalibration on a thread of its own while this one, with the
// interpreter's lock, checks for signals every 50 ms.
CalibrationRun runInterruptibly(const std::function<CalibrationRun(const ProgressCall&)>& calibration,
                                const py::object& progress) {
  std::optional<py::error_already_set> pythonFailure;  // Ctrl-C's, or the progress callback's
  unsigned long acquisitions = 0;
  const ProgressCall onAcquisition = [&](const kcColorCameraSettings& settings) {
    ++acquisitions;
    if (progress.is_none()) return;
    py::gil_scoped_acquire gil;
    if (pythonFailure) return;
    try {
      progress(acquisitions, settings);
    } catch (py::error_already_set& e) {
      pythonFailure.emplace(std::move(e));
      kfRequestCancel();
    }
  };
  WorkerCancellation cancellation;
  std::future<CalibrationRun> done;
  {
    py::gil_scoped_release unlocked;
    done = std::async(std::launch::async, [&] {
      cancellation.attach();
      try {
        CalibrationRun run = calibration(onAcquisition);
        cancellation.detach();
        return run;
      } catch (...) {
        cancellation.detach();
        throw;
      }
    });
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      py::gil_scoped_acquire gil;
      if (PyErr_CheckSignals() == 0) continue;
      py::error_already_set interrupt;
      if (!pythonFailure) pythonFailure.emplace(std::move(interrupt));
      cancellation.request();
    }
  }
  // Whatever the calibration ended with, the Python exception that
  // stopped it is the cause to report.
  try {
    CalibrationRun run = done.get();
    if (pythonFailure) throw *pythonFailure;
    return run;
  } catch (...) {
    if (pythonFailure) throw *pythonFailure;
    throw;
  }
}

py::object calibrate(const Camera& camera, const py::object& referenceImage, bool exposure, bool contrast,
                     bool brightness, const std::optional<std::pair<double, double>>& exposureRange,
                     double minExposureStep, bool positiveLut, bool pelMapping, bool colorCorrection, bool quick,
                     const std::string& out,
                     const std::string& report, const py::object& progress, const std::string& channelOrder) {
  CalibrateOptions options;
  options.noExposure = !exposure;
  options.noContrast = !contrast;
  options.noBrightness = !brightness;
  if (exposureRange) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g:%.17g", exposureRange->first, exposureRange->second);
    if (const std::string problem = exposureRangeProblem(text); !problem.empty())
      throw CommandFailure(ExitStatus::usage, problem);
    options.exposureRange = text;
  }
  if (!(std::isfinite(minExposureStep) && minExposureStep >= 0.0))
    throw CommandFailure(ExitStatus::usage, "min_exposure_step must be a finite number of seconds at or above 0, not " +
                                                kfNumberText(minExposureStep));
  options.minExposureStep = minExposureStep;
  options.noPositiveLut = !positiveLut;
  options.noPelMapping = !pelMapping;
  const kcColorCalibrationParams params = paramsOf(options);

  // A copy: another thread may close the camera while this one works with it.
  const kcPtrHandle<kcAcqFifo> fifo = camera.opened().fifo;
  auto calibration = std::make_unique<Calibration>();
  calibration->order = channelOrderOf(channelOrder);
  const kc3PlanePelBuffer reference =
      referenceImage.is_none() ? kfSimTargetChart() : colorImage(referenceImage, calibration->order, "reference");
  calibration->referenceWidth = reference.width();
  calibration->referenceHeight = reference.height();
  calibration->setup = {
      camera.description(),
      (referenceImage.is_none() ? "the built-in target (" : "the reference image (") + sizeText(reference) + ")"};
  options.out = out;
  options.report = report;
  checkCalibrateOutputs(options);

  CalibrationRun& run = calibration->run = runInterruptibly(
      [&](const ProgressCall& onAcquisition) {
        return runCalibration(fifo, reference, params, !report.empty(), onAcquisition,
                              quick ? CalibrationSearch::quick : CalibrationSearch::full,
                              colorCorrection && pelMapping);
      },
      progress);
  if (!report.empty()) writeReport(report, calibration->setup, run, reference);
  run.diagnostics = kcDiagObject();
  calibration->context =
      cameraContext(camera.opened().identity, reference, searchName(run.search), run.colour.corrected);
  if (run.verdict.helped && !out.empty())
    writeResultArchive(out, {run.result, run.colour.correction, calibration->context});

  py::object result = py::cast(std::move(calibration));
  if (!run.verdict.helped) {
    std::string message = "the calibration did not help";
    for (std::size_t i = 0; i < run.verdict.reasons.size(); ++i)
      message += (i == 0 ? ": " : "; ") + run.verdict.reasons[i];
    setDidNotHelp(message, result);
    throw py::error_already_set();
  }
  return result;
}

py::array_t<unsigned char> acquire(const Camera& camera, const std::string& channelOrder) {
  // A copy: another thread may close the camera while this one works with it.
  const OpenedCamera opened = camera.opened();
  const ChannelOrder order = channelOrderOf(channelOrder);
  kc3PlanePelBuffer image;
  {
    py::gil_scoped_release unlocked;
    image = takeImage(opened, nullptr);
  }
  return colorArray(image, order);
}

}  // namespace

void addCalibration(py::module_& m) {
  py::class_<kcColorCameraSettings>(m, "CameraSettings",
                                    "Camera settings: exposure in seconds, contrast (an analog gain) and brightness (a "
                                    "black level) from 0 to 1.")
      .def(py::init<double, double, double>(), py::arg("exposure"), py::arg("contrast"), py::arg("brightness"))
      .def_property_readonly("exposure", py::overload_cast<>(&kcColorCameraSettings::exposure, py::const_))
      .def_property_readonly("contrast", py::overload_cast<>(&kcColorCameraSettings::contrast, py::const_))
      .def_property_readonly("brightness", py::overload_cast<>(&kcColorCameraSettings::brightness, py::const_))
      .def(py::self == py::self)
      .def("__repr__", [](const kcColorCameraSettings& s) {
        return std::string(py::str("colc.CameraSettings(exposure={!r}, contrast={!r}, brightness={!r})")
                               .format(s.exposure(), s.contrast(), s.brightness()));
      });

  py::class_<Camera>(m, "Camera",
                     "A camera to calibrate; colc.open_camera opens one. close(), or the end of a with block, gives "
                     "it back.")
      .def_property_readonly("description", &Camera::description)
      .def_property_readonly(
          "settings", [](const Camera& c) { return kfCurrentCameraSettings(c.opened().fifo); },
          "The camera's exposure, contrast and brightness now.")
      .def("acquire", &acquire, py::kw_only(), py::arg("channel_order") = "bgr",
           "One image at the camera's settings now, as a (height, width, 3) array.")
      .def(
          "configure",
          [](const Camera& c, const StoredCalibration& calibration) {
            calibration.result.setFifoProperties(c.opened().fifo);
          },
          py::arg("result"),
          "Puts the result's settings (and the identity input table, when it asks for it) on the camera.")
      .def("close", &Camera::close, "Closes the camera; a closed camera refuses everything but close().")
      .def_property_readonly("closed", &Camera::closed)
      .def(
          "__enter__", [](Camera& c) -> Camera& { return c; }, py::return_value_policy::reference)
      .def("__exit__", [](Camera& c, const py::args&) { c.close(); })
      .def("__repr__",
           [](const Camera& c) { return "<colc.Camera: " + c.description() + (c.closed() ? ", closed>" : ">"); });

  m.def(
      "open_camera",
      [](const std::string& name, const py::object& scene, const std::string& channelOrder) {
        return Camera(openCamera(
            name, scene.is_none() ? kc3PlanePelBuffer() : colorImage(scene, channelOrderOf(channelOrder), "scene")));
      },
      py::arg("name") = "sim", py::kw_only(), py::arg("scene") = py::none(), py::arg("channel_order") = "bgr",
      "Opens a camera by the name colc calibrate --camera takes: 'sim[:OPTIONS]', the simulated camera "
      "('sim:width=640,height=480,seed=3'), or 'aravis[:DEVICE-ID]', a GigE Vision or USB3 Vision camera. scene is "
      "what the simulated camera looks at (default: the built-in target).");

  py::class_<Calibration>(m, "Calibration", "What colc.calibrate found and how much it helped.")
      .def_property_readonly(
          "result",
          [](const Calibration& c) { return StoredCalibration{c.run.result, c.run.colour.correction, c.context}; },
          "What was found, as colc calibrate --out stores it.")
      .def_property_readonly("start_settings", [](const Calibration& c) { return c.run.start; })
      .def_property_readonly("acquisitions", [](const Calibration& c) { return c.run.acquisitions.size(); })
      .def_property_readonly("seconds", [](const Calibration& c) { return c.run.seconds; })
      .def_property_readonly(
          "before", [](const Calibration& c) { return byPlane(c.run.before); },
          "Per plane, the mean absolute difference of the camera's view to the reference at the start settings.")
      .def_property_readonly(
          "after", [](const Calibration& c) { return byPlane(c.run.after); },
          "The same at the calibrated settings, through the pel maps.")
      .def_property_readonly(
          "clipped", [](const Calibration& c) { return byPlane(c.run.clipped); },
          "Per plane, the share of the calibrated view's samples at 0 or 255 where the reference is neither.")
      .def_property_readonly("helped", [](const Calibration& c) { return c.run.verdict.helped; })
      .def_property_readonly(
          "reasons", [](const Calibration& c) { return c.run.verdict.reasons; },
          "Why it did not help, one sentence each; empty when it helped.")
      .def_property_readonly(
          "color_error", [](const Calibration& c) { return colourErrorDict(c.run.colour); },
          "Mean and maximum CIEDE2000 over the reference's flat regions, as (mean, max), at the start settings "
          "('start'), through the pel maps ('pel_maps') and through the whole correction ('corrected').")
      .def_property_readonly(
          "held_out_error",
          [](const Calibration& c) {
            const CorrectionChoice& choice = c.run.colour.choice;
            const auto pair = [](const std::optional<ColourError>& e) {
              return e ? py::object(py::make_tuple(e->mean, e->max)) : py::object(py::none());
            };
            py::dict error;
            error["pel_maps"] = pair(choice.heldOutPelMaps);
            error["color_correction"] = pair(choice.heldOutCorrection);
            error["domain"] = choice.heldOutCorrection ? py::object(py::str(domainName(choice.domain))) : py::none();
            error["chosen"] = c.run.colour.correction ? "color_correction" : "pel_maps";
            return error;
          },
          "What the choice between the pel maps and the colour correction went by: mean and maximum CIEDE2000 over "
          "the flat regions, each region measured through a fit made without it, as (mean, max), of the pel maps "
          "('pel_maps') and of the colour correction ('color_correction', in the domain 'domain', 'encoded' or "
          "'linear'); None where not measured. 'chosen': 'color_correction' or 'pel_maps', what corrects the "
          "images.")
      .def_property_readonly(
          "clipped_regions",
          [](const Calibration& c) {
            const ClippedRegions& clipped = c.run.colour.clipped;
            py::dict regions;
            regions["dark"] = clipped.dark;
            regions["bright"] = clipped.bright;
            regions["total"] = clipped.total;
            return regions;
          },
          "How many of the reference's flat regions lost colour to clipping at the calibrated settings (over 1 % of "
          "their samples at 0 or 255): 'dark', 'bright' and 'total' (either way).")
      .def_property_readonly(
          "target",
          [](const Calibration& c) {
            return c.run.target ? std::optional<TargetMatch>({*c.run.target, c.referenceWidth, c.referenceHeight})
                                : std::nullopt;
          },
          "Where the quick search found the target and how well its pose explains the view (a colc.TargetMatch); "
          "None for the full search.")
      .def_property_readonly("exposure_edge", [](const Calibration& c) { return exposureEdgeName(c.run.exposureEdge); })
      .def_property_readonly(
          "start_view", [](const Calibration& c) { return colorArray(c.run.startView, c.order); },
          "The camera's view at the start settings.")
      .def("__str__",
           [](const Calibration& c) {
             std::ostringstream text;
             printSummaryText(text, c.setup, c.run);
             return text.str();
           })
      .def("__repr__", [](const Calibration& c) {
        return std::string(
            py::str("<colc.Calibration: {}, {} acquisitions, {:.1f} s>")
                .format(c.run.verdict.helped ? "helped" : "did not help", c.run.acquisitions.size(), c.run.seconds));
      });

  m.def("calibrate", &calibrate, py::arg("camera"), py::arg("reference") = py::none(), py::kw_only(),
        py::arg("exposure") = true, py::arg("contrast") = true, py::arg("brightness") = true,
        py::arg("exposure_range") = py::none(), py::arg("min_exposure_step") = 0.0, py::arg("positive_lut") = true,
        py::arg("pel_mapping") = true, py::arg("color_correction") = true, py::arg("quick") = true,
        py::arg("out") = "", py::arg("report") = "", py::arg("progress") = py::none(),
        py::arg("channel_order") = "bgr",
        "Calibrates the camera against the reference image (default: the built-in target), as colc calibrate does, "
        "and puts the camera back as it found it. exposure, contrast, brightness: search that setting (False: keep "
        "it); exposure_range: (min, max) seconds; min_exposure_step: seconds; positive_lut: load the identity input "
        "table; pel_mapping: judge settings with the per-channel fits; color_correction: adopt a cross-plane colour "
        "correction when it lowers the colour error on regions left out of its fit; quick: the quick search, colc calibrate's default (False: the full search); out: store the result there when it helped; "
        "report: write the HTML report into this folder; progress: called as progress(acquisitions, settings) at "
        "each acquisition. Raises colc.DidNotHelpError, with the calibration, when it did not help, and "
        "KeyboardInterrupt on Ctrl-C.");

  m.def(
      "target",
      [](long width, const std::string& channelOrder) {
        checkTargetWidth(width);
        return colorArray(kfSimTargetChart(width), channelOrderOf(channelOrder));
      },
      py::arg("width") = 960, py::kw_only(), py::arg("channel_order") = "bgr",
      "The built-in calibration target, width x (2/3 width) pels, as a (height, width, 3) array: to print, or "
      "to use as the reference and scene of a calibration. width: 96 to 16384 (colc.ArgumentError otherwise).");
}
