// colc.Channel and colc.Result over the module's result records.
#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/stl.h>

#include <optional>

#include "bindings.h"
#include "files.h"
#include "numpy_images.h"
#include "presentation.h"

namespace py = pybind11;

namespace {

py::array_t<unsigned char> pelMapArray(const kcColorCalibrationChannelResult& channel) {
  // An empty pel map stands for the identity.
  const std::vector<unsigned char> map = channel.pelmap().empty() ? kfBuildPelMap(1.0, 0.0) : channel.pelmap();
  return py::array_t<unsigned char>(static_cast<py::ssize_t>(map.size()), map.data());
}

// The record keeps a negative RMS error for a channel that was not fitted;
// Python sees None.
std::optional<double> rmsErrorOf(const kcColorCalibrationChannelResult& channel) {
  return isFitted(channel.rmsError()) ? std::optional<double>(channel.rmsError()) : std::nullopt;
}

kcColorCalibrationChannelResult makeChannel(double gain, double offset, std::optional<double> rmsError) {
  kcColorCalibrationChannelResult channel;
  channel.init(gain, offset, rmsError.value_or(-1.0));
  return channel;
}

std::string channelRepr(const kcColorCalibrationChannelResult& c) {
  return py::str("colc.Channel(gain={!r}, offset={!r}, rms_error={!r})").format(c.gain(), c.offset(), rmsErrorOf(c));
}

kcColorCalibrationResult makeResult(double exposure, double contrast, double brightness, bool positiveLut,
                                    const kcColorCalibrationChannelResult& red,
                                    const kcColorCalibrationChannelResult& green,
                                    const kcColorCalibrationChannelResult& blue) {
  kcColorCalibrationResult result;
  result.exposure(exposure);
  result.contrast(contrast);
  result.brightness(brightness);
  result.positive8BitLut(positiveLut);
  result.channelResults({red, green, blue});
  return result;
}

std::string resultRepr(const kcColorCalibrationResult& r) {
  std::string text = py::str("colc.Result(exposure={!r}, contrast={!r}, brightness={!r}, positive_lut={!r}")
                         .format(r.exposure(), r.contrast(), r.brightness(), r.positive8BitLut());
  for (std::size_t k = 0; k < 3; ++k)
    text += ", " + planeName(k) + "=" + channelRepr(r.channelResults()[k]);
  return text + ")";
}

}  // namespace

void addResults(py::module_& m) {
  py::class_<kcColorCalibrationChannelResult>(
      m, "Channel", "The correction of one colour plane: corrected = gain x camera + offset, through a pel map.")
      .def(py::init(&makeChannel), py::arg("gain") = 1.0, py::arg("offset") = 0.0, py::arg("rms_error") = py::none())
      .def_property_readonly("gain", &kcColorCalibrationChannelResult::gain)
      .def_property_readonly("offset", &kcColorCalibrationChannelResult::offset)
      .def_property_readonly("rms_error", &rmsErrorOf, "The RMS error of the fit in pel values; None when not fitted.")
      .def_property_readonly("pel_map", &pelMapArray, "The 256 corrected values, indexed by the camera's value.")
      .def(py::self == py::self)
      .def("__repr__", &channelRepr);

  py::class_<kcColorCalibrationResult>(
      m, "Result",
      "What a calibration found: the camera settings (exposure in seconds, contrast and brightness from 0 to "
      "1), whether the camera's input table is to be the identity, and the correction of each colour plane.")
      .def(py::init(&makeResult), py::kw_only(), py::arg("exposure") = 0.0, py::arg("contrast") = 0.0,
           py::arg("brightness") = 0.0, py::arg("positive_lut") = false,
           py::arg("red") = kcColorCalibrationChannelResult(), py::arg("green") = kcColorCalibrationChannelResult(),
           py::arg("blue") = kcColorCalibrationChannelResult())
      .def_static(
          "load", [](const std::string& path) { return readResultArchive(path).result; }, py::arg("path"),
                  "Reads a result archive, as colc calibrate --out writes it.")
      .def(
          "save", [](const kcColorCalibrationResult& r, const std::string& path) { writeResultArchive(path, {r, {}}); },
          py::arg("path"), "Writes the result archive that colc show and colc apply read.")
      .def_property_readonly("exposure", py::overload_cast<>(&kcColorCalibrationResult::exposure, py::const_))
      .def_property_readonly("contrast", py::overload_cast<>(&kcColorCalibrationResult::contrast, py::const_))
      .def_property_readonly("brightness", py::overload_cast<>(&kcColorCalibrationResult::brightness, py::const_))
      .def_property_readonly("positive_lut",
                             py::overload_cast<>(&kcColorCalibrationResult::positive8BitLut, py::const_))
      .def_property_readonly("red", [](const kcColorCalibrationResult& r) { return r.channelResults()[0]; })
      .def_property_readonly("green", [](const kcColorCalibrationResult& r) { return r.channelResults()[1]; })
      .def_property_readonly("blue", [](const kcColorCalibrationResult& r) { return r.channelResults()[2]; })
      .def(
          "pel_maps",
          [](const kcColorCalibrationResult& r, const std::string& channelOrder) {
            py::array_t<unsigned char> maps({3, 256});
            const bool bgr = channelOrderOf(channelOrder) == ChannelOrder::bgr;
            for (int k = 0; k < 3; ++k) {
              const py::array_t<unsigned char> map = pelMapArray(r.channelResults()[k]);
              std::copy_n(map.data(), 256, maps.mutable_data(bgr ? 2 - k : k));
            }
            return maps;
          },
          py::kw_only(), py::arg("channel_order") = "bgr",
          "The three pel maps as a (3, 256) array, one row per channel in channel_order.")
      .def(
          "apply",
          [](const kcColorCalibrationResult& r, const py::object& image, const std::string& channelOrder) {
            const ChannelOrder order = channelOrderOf(channelOrder);
            return colorArray(r.pelMapImage(colorImage(image, order, "image")), order);
          },
          py::arg("image"), py::kw_only(), py::arg("channel_order") = "bgr",
          "A new image: each plane of image through its pel map, as colc apply does it (a result whose red "
          "map is the identity maps no plane). A grey image counts as three equal planes.")
      .def(py::self == py::self)
      .def("__repr__", &resultRepr);
}
