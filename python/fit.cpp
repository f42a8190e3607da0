// colc.fit: per plane, the gain and offset that carry a camera image onto
// a reference image of the same scene.
#include <pybind11/numpy.h>

#include "bindings.h"
#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "numpy_images.h"

namespace py = pybind11;

namespace {

using FitChannel = kcColorCalibrationChannelResultInternal;

std::string fitChannelRepr(const FitChannel& c) {
  return py::str(
             "colc.FitChannel(gain={!r}, offset={!r}, rms_error={!r}, proportion_active_camera={!r}, "
             "proportion_active_reference={!r}, proportion_active={!r})")
      .format(c.gain(), c.offset(), c.rmsError(), c.proportionActiveSrcPels(), c.proportionActiveDstPels(),
              c.proportionActivePels());
}

kcColorCalibrationResultInternal fit(const py::object& cameraImage, const py::object& referenceImage,
                                     const py::object& mask, const std::string& channelOrder) {
  const ChannelOrder order = channelOrderOf(channelOrder);
  const kcInterleavedPels<const unsigned char> camera = interleavedView(cameraImage, order, "camera_image");
  const kcInterleavedPels<const unsigned char> reference = interleavedView(referenceImage, order, "reference_image");
  if (camera.width != reference.width || camera.height != reference.height)
    throw kcColorCalibrationDefs::BadImages(
        "the images differ in size: colc.fit pairs their pels place for place; to calibrate from a photograph "
        "of the target, use colc.fit_photo");
  const kcPelBuffer_const<unsigned char> maskPels =
      mask.is_none() ? kcPelBuffer_const<unsigned char>() : maskView(mask, "mask");
  kcColorCalibrationResultInternal result;
  {
    py::gil_scoped_release unlocked;
    kfFitInterleavedPels(camera, maskPels, reference, result);
  }
  return result;
}

}  // namespace

void addFit(py::module_& m) {
  py::class_<FitChannel>(m, "FitChannel",
                         "The fit of one colour plane: reference = gain x camera + offset, its RMS error in pel "
                         "values, and the shares of pels the fit could use (not clipped) in the camera image, in "
                         "the reference image and in both.")
      .def_property_readonly("gain", &FitChannel::gain)
      .def_property_readonly("offset", &FitChannel::offset)
      .def_property_readonly("rms_error", &FitChannel::rmsError)
      .def_property_readonly("proportion_active_camera", &FitChannel::proportionActiveSrcPels)
      .def_property_readonly("proportion_active_reference", &FitChannel::proportionActiveDstPels)
      .def_property_readonly("proportion_active", &FitChannel::proportionActivePels)
      .def_property_readonly(
          "pel_map",
          [](const FitChannel& c) {
            const std::vector<unsigned char> map = c.pelmap();
            return py::array_t<unsigned char>(static_cast<py::ssize_t>(map.size()), map.data());
          },
          "The 256 corrected values, indexed by the camera's value.")
      .def("__repr__", &fitChannelRepr);

  py::class_<kcColorCalibrationResultInternal>(m, "Fit", "The fit of each colour plane.")
      .def_property_readonly("red", [](const kcColorCalibrationResultInternal& r) { return r.results().at(0); })
      .def_property_readonly("green", [](const kcColorCalibrationResultInternal& r) { return r.results().at(1); })
      .def_property_readonly("blue", [](const kcColorCalibrationResultInternal& r) { return r.results().at(2); })
      .def("__repr__", [](const kcColorCalibrationResultInternal& r) {
        const auto planes = r.results();
        return "colc.Fit(red=" + fitChannelRepr(planes.at(0)) + ", green=" + fitChannelRepr(planes.at(1)) +
               ", blue=" + fitChannelRepr(planes.at(2)) + ")";
      });

  m.def("fit", &fit, py::arg("camera_image"), py::arg("reference_image"), py::arg("mask") = py::none(), py::kw_only(),
        py::arg("channel_order") = "bgr",
        "Fits each colour plane of camera_image onto reference_image, two images of the same scene: "
        "the gain and offset that carry the camera's values to the reference's. mask, a grey image of 0 (ignore) "
        "and 255 (use) or a bool array, limits the fit to some pels. A grey image counts as three equal planes. "
        "colc.ImageError when the images cannot be fitted (no pels unsaturated in both, a mask of other values).");
}
