// colc.deploy: a stored result written into a GenICam camera to stay, as
// colc deploy writes it.
#include <pybind11/stl.h>

#include "app/deployment.h"
#include "bindings.h"

namespace py = pybind11;

namespace {

const char* colourName(const DeploymentChoice& c) {
  switch (deployedColour(c)) {
    case DeployedColour::transformation: return "color_transformation";
    case DeployedColour::pelMaps: return "pel_maps";
    case DeployedColour::none: break;
  }
  return "none";
}

Deployment deployResult(const StoredCalibration& calibration, const std::string& camera, const py::object& userSet,
                        bool makeDefault, double offsetFullScale, bool force, bool dryRun) {
  const int set = userSet.is_none() ? 0 : userSet.cast<int>();
  if (!userSet.is_none() && (set < 1 || set > kMaxUserSet))
    throw py::value_error("user_set is a number from 1 to " + std::to_string(kMaxUserSet));
  if (userSet.is_none() && makeDefault) throw py::value_error("default needs a user_set to make the power-up set");
  if (!(offsetFullScale >= kMinOffsetFullScale && offsetFullScale <= kMaxOffsetFullScale))
    throw py::value_error(py::str("offset_full_scale is a number from {:g} to {:g}")
                              .format(kMinOffsetFullScale, kMaxOffsetFullScale)
                              .cast<std::string>());
  // The writes run to their end, or are put back whole: a Ctrl-C reaches
  // Python when they are done.
  py::gil_scoped_release unlocked;
  return deployCalibration(calibration, camera, {set, makeDefault, offsetFullScale}, force, dryRun);
}

}  // namespace

void addDeployment(py::module_& m) {
  py::class_<Deployment>(m, "Deployment", "What colc.deploy wrote into a camera, or would write.")
      .def_readonly("camera", &Deployment::camera)
      .def_readonly("dry_run", &Deployment::dryRun)
      .def_property_readonly(
          "written",
          [](const Deployment& d) {
            py::list written;
            for (const kcWrittenFeature& f : d.written) {
              py::dict w;
              w["feature"] = f.feature;
              w["found"] = f.found.empty() ? py::object(py::none()) : py::object(py::str(f.found));
              w["written"] = f.written;
              written.append(w);
            }
            return written;
          },
          "Each feature written (or to write), in order: a dict of feature, found (None where a dry run "
          "cannot read it) and written, as the camera holds it (in a dry run, as it would be sent).")
      .def_property_readonly(
          "colour", [](const Deployment& d) { return colourName(d.choice); },
          "Where the colour went: 'color_transformation', 'pel_maps' or 'none'.")
      .def_property_readonly(
          "equals_apply", [](const Deployment& d) { return d.choice.equalsApply; },
          "Whether the camera's pels are then those of Result.apply.")
      .def_property_readonly(
          "lacked", [](const Deployment& d) { return d.choice.lacked; }, "What the camera lacks, a sentence each.")
      .def_property_readonly(
          "left_out", [](const Deployment& d) { return d.choice.leftOut; },
          "What of the result was not written, and why.")
      .def_property_readonly(
          "user_set",
          [](const Deployment& d) {
            return d.choice.plan.userSet.empty() ? py::object(py::none()) : py::object(py::str(d.choice.plan.userSet));
          },
          "The user set saved to ('UserSet1'), or None.")
      .def_property_readonly(
          "default", [](const Deployment& d) { return d.choice.plan.makeDefault; },
          "Whether that set is the one the camera loads at power-up.")
      .def("__repr__", [](const Deployment& d) {
        return std::string(py::str("<colc.Deployment: {} {} features into {}, colour: {}>")
                               .format(d.dryRun ? "would write" : "wrote", d.written.size(), d.camera,
                                       colourName(d.choice)));
      });

  m.def("deploy", &deployResult, py::arg("result"), py::arg("camera"), py::kw_only(), py::arg("user_set") = py::none(),
        py::arg("default") = false, py::arg("offset_full_scale") = 1.0, py::arg("force") = false,
        py::arg("dry_run") = false,
        "Writes a result into a GenICam camera to stay, as colc deploy does: exposure, gain and black level in "
        "the camera's units, the colour correction into its colour transformation where it can express it, "
        "otherwise the pel maps into its lookup tables; with user_set=N saved to UserSetN, with default made the "
        "set loaded at power-up. offset_full_scale: the transformation's offset that shifts a plane by its full "
        "scale (1 where the camera takes fractions, 255 or 4095 where it takes levels). camera: 'aravis' or 'aravis:DEVICE-ID'; the camera must not be open in this or "
        "another program. A result from another camera is refused (colc.Error) unless force; dry_run writes "
        "nothing. A write the camera refuses raises colc.CameraError with every feature put back as found.");
}
