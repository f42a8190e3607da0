// colc.find_target and colc.fit_photo: the target found in any image (at
// any quarter turn, scales of 0.4 to 2.5 and a slant), and a calibration
// from a still photograph of it, as colc fit --find-target makes it.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "colc/tool/target_pose.h"
#include "app/files.h"
#include "numpy_images.h"
#include "app/photo_fit.h"
#include "summaries.h"

namespace py = pybind11;

namespace {

const char* findingName(keTargetFinding finding) {
  switch (finding) {
    case keTargetFinding::eFound: return "found";
    case keTargetFinding::eNotFound: return "not found";
    case keTargetFinding::eTooSmall: return "too small";
    case keTargetFinding::eTooLarge: return "too large";
    case keTargetFinding::eTooTilted: return "too tilted";
    case keTargetFinding::ePartlyOutOfView: return "partly out of view";
    case keTargetFinding::eTooDark: return "too dark";
    case keTargetFinding::eClipped: return "clipped";
    case keTargetFinding::ePoorMatch: return "poor match";
  }
  return "not found";
}

py::array_t<double> corners(const TargetMatch& t) {
  py::array_t<double> points({4, 2});
  auto p = points.mutable_unchecked<2>();
  const double w = static_cast<double>(t.width), h = static_cast<double>(t.height);
  const kcVector<2> reference[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  for (int i = 0; i < 4; ++i) {
    const kcVector<2> q = t.match.pose.mapPoint(reference[i]);
    p(i, 0) = q.x();
    p(i, 1) = q.y();
  }
  return points;
}

TargetMatch findTarget(const py::object& image, const py::object& reference, const std::string& channelOrder) {
  const ChannelOrder order = channelOrderOf(channelOrder);
  const kc3PlanePelBuffer view = colorImage(image, order, "image");
  const kc3PlanePelBuffer target = colorImage(reference, order, "reference");
  TargetMatch found{{}, target.width(), target.height()};
  py::gil_scoped_release unlocked;
  try {
    found.match = kfFindTargetPose(view, target).perspective->match;
  } catch (const kcTargetNotFound& e) {
    found.match = e.match();
  }
  return found;
}

struct PhotoCalibration {
  PhotoFit fit;
  long width = 0, height = 0;
};

PhotoCalibration fitPhotoOf(const py::object& photo, const py::object& reference, bool colorCorrection,
                            const std::string& channelOrder) {
  const ChannelOrder order = channelOrderOf(channelOrder);
  const kc3PlanePelBuffer view = colorImage(photo, order, "photo");
  const kc3PlanePelBuffer target = colorImage(reference, order, "reference");
  py::gil_scoped_release unlocked;
  return {fitPhoto(view, target, colorCorrection), target.width(), target.height()};
}

}  // namespace

void addTarget(py::module_& m) {
  py::class_<TargetMatch>(m, "TargetMatch", "Where the target was found in an image, or why it was not.")
      .def_property_readonly("found", [](const TargetMatch& t) { return t.match.found(); })
      .def_property_readonly(
          "finding", [](const TargetMatch& t) { return findingName(t.match.finding); },
          "'found', or why not: 'not found', 'too small', 'too large', 'too tilted', 'partly out of view', 'too "
          "dark', 'clipped' or 'poor match'.")
      .def_property_readonly(
          "text", [](const TargetMatch& t) { return kfTargetFindingText(t.match, {}); },
          "One line for a user: where it was found, or why not and what to do.")
      .def_property_readonly(
          "score", [](const TargetMatch& t) { return t.match.score; },
          "How well the pose explains the image, -1 to 1; below 0.7 it deserves a look.")
      .def_property_readonly("scale", [](const TargetMatch& t) { return t.match.scale; })
      .def_property_readonly("rotation_degrees", [](const TargetMatch& t) { return t.match.rotationDegrees; })
      .def_property_readonly("tilt_degrees", [](const TargetMatch& t) { return t.match.tiltDegrees; })
      .def_property_readonly("in_view", [](const TargetMatch& t) { return t.match.inView; })
      .def_property_readonly(
          "corners", &corners,
          "The reference's corners (top left, top right, bottom right, bottom left) in the image, as a 4 x 2 array "
          "of (x, y) with pel (x, y) covering [x, x + 1) x [y, y + 1); the best candidate's when not found.")
      .def_property_readonly(
          "homography",
          [](const TargetMatch& t) {
            py::array_t<double> h({3, 3});
            std::copy(t.match.pose.elements().begin(), t.match.pose.elements().end(), h.mutable_data());
            return h;
          },
          "The 3 x 3 matrix from the reference's pel coordinates to the image's.")
      .def("__repr__", [](const TargetMatch& t) {
        return std::string(py::str("<colc.TargetMatch: {}>").format(kfTargetFindingText(t.match, {})));
      });

  py::class_<PhotoCalibration>(m, "PhotoFit", "A calibration from a photograph of the target.")
      .def_property_readonly(
          "result", [](const PhotoCalibration& p) { return StoredCalibration{p.fit.result, p.fit.colour.correction}; },
          "The pel maps and colour correction, as colc fit --find-target --out stores them.")
      .def_property_readonly("target",
                             [](const PhotoCalibration& p) { return TargetMatch{p.fit.target, p.width, p.height}; })
      .def_property_readonly(
          "color_error", [](const PhotoCalibration& p) { return colourErrorDict(p.fit.colour); },
          "Mean and maximum CIEDE2000 over the reference's flat regions, as (mean, max): of the photo as is "
          "('start'), through the pel maps ('pel_maps') and through the whole correction ('corrected').")
      .def_property_readonly(
          "helped", [](const PhotoCalibration& p) { return p.fit.helped; },
          "Whether the result lowers the photo's mean colour error; do not use it when not.")
      .def("__repr__", [](const PhotoCalibration& p) {
        return std::string(py::str("<colc.PhotoFit: {}, CIEDE2000 mean {:.2f} -> {:.2f}>")
                               .format(p.fit.helped ? "helped" : "did not help", p.fit.colour.start.mean,
                                       p.fit.colour.corrected.mean));
      });

  m.def("find_target", &findTarget, py::arg("image"), py::arg("reference"), py::kw_only(),
        py::arg("channel_order") = "bgr",
        "Looks for the reference image's target in image, at any quarter turn, scales of 0.4 to 2.5 and tilts up to "
        "about 30 degrees; returns a colc.TargetMatch, found or not (its finding says why).");
  m.def("fit_photo", &fitPhotoOf, py::arg("photo"), py::arg("reference"), py::kw_only(),
        py::arg("color_correction") = true, py::arg("channel_order") = "bgr",
        "Calibrates from a photograph of the target: finds it, fits the per-plane pel maps on its view and chooses "
        "a colour correction as colc calibrate does. Returns a colc.PhotoFit; colc.TargetNotFoundError when the "
        "target is not found.");
}
