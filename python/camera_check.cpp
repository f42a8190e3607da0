// colc.check and colc.compare: whether a camera still reproduces its stored
// calibration, as colc check measures it, and whether two images show a
// chart in the same colours, as colc compare measures them.
#include <pybind11/stl.h>

#include "app/camera_check.h"
#include "app/image_comparison.h"
#include "bindings.h"
#include "camera.h"
#include "colc/tool/target_pose.h"
#include "host/acq/sim/target_chart.h"
#include "numpy_images.h"

namespace py = pybind11;

namespace {

py::dict errorDict(const ColourError& e) {
  py::dict d;
  d["mean"] = e.mean;
  d["max"] = e.max;
  return d;
}

kc3PlanePelBuffer referenceOf(const py::object& reference, ChannelOrder order) {
  return reference.is_none() ? kfSimTargetChart() : colorImage(reference, order, "reference");
}

CameraCheck check(const Camera& camera, const StoredCalibration& calibration, const py::object& reference, bool force,
                  const std::string& channelOrder) {
  // A copy: another thread may close the camera while this one works with it.
  const OpenedCamera opened = camera.opened();
  const kc3PlanePelBuffer target = referenceOf(reference, channelOrderOf(channelOrder));
  checkCalibratedReference(calibration, target, "the reference");
  py::gil_scoped_release unlocked;
  return checkCamera(opened, calibration, target, force);
}

py::dict compare(const py::object& first, const py::object& second, const py::object& reference,
                 const std::string& channelOrder) {
  const ChannelOrder order = channelOrderOf(channelOrder);
  const kc3PlanePelBuffer a = colorImage(first, order, "first"), b = colorImage(second, order, "second");
  const kc3PlanePelBuffer target = referenceOf(reference, order);
  ImageComparison c;
  {
    py::gil_scoped_release unlocked;
    try {
      c = compareOnTarget(a, b, target);
    } catch (const kcTargetNotFound& e) {
      throw CommandFailure(ExitStatus::targetNotFound, "in one of the images, " + e.text());
    }
  }
  py::dict d;
  d["regions"] = c.between.perRegion.size();
  d["between"] = errorDict(c.between);
  d["first"] = errorDict(c.first);
  d["second"] = errorDict(c.second);
  return d;
}

}  // namespace

void addCheck(py::module_& m) {
  py::class_<CameraCheck>(m, "CameraCheck", "What colc.check measured, and its verdict.")
      .def_property_readonly(
          "verdict", [](const CameraCheck& c) { return verdictName(c.verdict); },
          "'still calibrated', 'drifted' or 'recalibrate'.")
      .def_property_readonly("drift", &CameraCheck::drift,
                             "How far the mean CIEDE2000 rose since the calibration.")
      .def_property_readonly(
          "now", [](const CameraCheck& c) { return errorDict(c.now); },
          "Mean and largest CIEDE2000 over the reference's flat regions now, through the stored calibration.")
      .def_property_readonly(
          "calibrated",
          [](const CameraCheck& c) {
            py::dict d;
            d["mean"] = c.calibrated.colourErrorMean;
            d["max"] = c.calibrated.colourErrorMax;
            d["date"] = c.calibrated.date;
            return d;
          },
          "The same when calibrated, and the calibration's date.")
      .def_readonly("acquisitions", &CameraCheck::acquisitions)
      .def_readonly("camera_seconds", &CameraCheck::cameraSeconds, "None for a camera that keeps no time.")
      .def_readonly("other_camera", &CameraCheck::otherCamera, "Whether the result belongs to another camera.")
      .def("__repr__", [](const CameraCheck& c) {
        return std::string(py::str("<colc.CameraCheck: {}, mean CIEDE2000 {:.2f} now, {:.2f} when calibrated>")
                               .format(verdictName(c.verdict), c.now.mean, c.calibrated.colourErrorMean));
      });

  m.def("check", &check, py::arg("camera"), py::arg("result"), py::arg("reference") = py::none(), py::kw_only(),
        py::arg("force") = false, py::arg("channel_order") = "bgr",
        "Whether the camera still reproduces its stored result, as colc check measures it: one image at the stored "
        "settings through the stored calibration, its colour error against the one stored. reference: the image it "
        "was calibrated against (default: the built-in target). A result from another camera is refused "
        "(colc.Error) unless force. The camera is left as found.");
  m.def("compare", &compare, py::arg("first"), py::arg("second"), py::arg("reference") = py::none(), py::kw_only(),
        py::arg("channel_order") = "bgr",
        "CIEDE2000 between two images of a chart over its flat regions, and each against the chart's reference "
        "(default: the built-in target), as colc compare measures them: a dict of regions, between, first and "
        "second, each of mean and max.");
}
