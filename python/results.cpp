// colc.Channel, colc.ColorCorrection and colc.Result over the module's
// records. A colc.Result is a calibration as colc calibrate stores it: the
// result record and, when one was adopted, the colour correction, so that
// an archive read and saved again from Python keeps both.
#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <optional>

#include "bindings.h"
#include "app/calibration_context.h"
#include "colc/balance/color_correction_fit.h"
#include "app/correction_stage.h"
#include "app/files.h"
#include "numpy_images.h"
#include "app/presentation.h"

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

StoredCalibration makeResult(double exposure, double contrast, double brightness, bool positiveLut,
                             const kcColorCalibrationChannelResult& red, const kcColorCalibrationChannelResult& green,
                             const kcColorCalibrationChannelResult& blue,
                             const std::optional<kcColorCorrection>& correction) {
  kcColorCalibrationResult result;
  result.exposure(exposure);
  result.contrast(contrast);
  result.brightness(brightness);
  result.positive8BitLut(positiveLut);
  result.channelResults({red, green, blue});
  return {result, correction};
}

// A new array of image corrected by correct(in, out), which reads the
// caller's pels where they lie and writes the new array's once.
template <class Correct>
py::array_t<unsigned char> correctedArray(const py::object& image, const std::string& channelOrder,
                                          const Correct& correct) {
  const ChannelOrder order = channelOrderOf(channelOrder);
  const kcInterleavedPels<const unsigned char> in = interleavedView(image, order, "image");
  auto [array, out] = newColorArray(in.width, in.height, order);
  {
    py::gil_scoped_release unlocked;
    correct(in, out);
  }
  return array;
}

kcColorCorrection::Domain domainOf(const std::string& name) {
  if (name == "encoded") return kcColorCorrection::Domain::encoded;
  if (name == "linear") return kcColorCorrection::Domain::linear;
  throw py::value_error("domain must be 'encoded' or 'linear', not '" + name + "'");
}

py::array_t<double> coefficientArray(const kcColorCorrection& correction) {
  py::array_t<double> rows({3, 4});
  for (std::size_t k = 0; k < 3; ++k)
    std::copy_n(correction.coefficients()[k].data(), 4, rows.mutable_data(static_cast<py::ssize_t>(k)));
  return rows;
}

kcColorCorrection makeCorrection(const std::string& domain, const py::object& coefficients) {
  if (coefficients.is_none()) return kcColorCorrection(domainOf(domain), kcColorCorrection().coefficients());
  const auto rows = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(coefficients);
  if (!rows || rows.ndim() != 2 || rows.shape(0) != 3 || rows.shape(1) != 4)
    throw py::value_error("coefficients must be a 3 x 4 array of numbers: per output plane (red, green, blue) the "
                          "factors of red, green and blue and an offset");
  kcColorCorrection::Coefficients values;
  for (std::size_t k = 0; k < 3; ++k) std::copy_n(rows.data(static_cast<py::ssize_t>(k)), 4, values[k].data());
  return kcColorCorrection(domainOf(domain), values);
}

std::string correctionRepr(const kcColorCorrection& c) {
  py::list rows;
  for (const auto& row : c.coefficients()) rows.append(py::cast(std::vector<double>(row.begin(), row.end())));
  return py::str("colc.ColorCorrection(domain={!r}, coefficients={!r})").format(domainName(c.domain()), rows);
}

std::string resultRepr(const StoredCalibration& calibration) {
  const kcColorCalibrationResult& r = calibration.result;
  std::string text = py::str("colc.Result(exposure={!r}, contrast={!r}, brightness={!r}, positive_lut={!r}")
                         .format(r.exposure(), r.contrast(), r.brightness(), r.positive8BitLut());
  for (std::size_t k = 0; k < 3; ++k)
    text += ", " + planeName(k) + "=" + channelRepr(r.channelResults()[k]);
  if (calibration.correction) text += ", correction=" + correctionRepr(*calibration.correction);
  return text + ")";
}

const kcColorCalibrationChannelResult& channelOf(const StoredCalibration& calibration, std::size_t plane) {
  return calibration.result.channelResults()[plane];
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

  py::class_<kcColorCorrection>(
      m, "ColorCorrection",
      "A cross-plane colour correction: each output plane (red, green, blue) an affine function of all three "
      "input planes, on values scaled to 0..1, either the encoded values ('encoded') or the linear light they "
      "stand for through the sRGB curve ('linear').")
      .def(py::init(&makeCorrection), py::kw_only(), py::arg("domain") = "encoded",
           py::arg("coefficients") = py::none(),
           "coefficients: 3 x 4, row k the factors of red, green and blue and the offset of output plane k "
           "(default: the identity).")
      .def_property_readonly("domain", [](const kcColorCorrection& c) { return domainName(c.domain()); })
      .def_property_readonly("coefficients", &coefficientArray,
                             "A new 3 x 4 array: per output plane (red, green, blue) the factors of red, green "
                             "and blue and the offset.")
      .def(
          "apply",
          [](const kcColorCorrection& c, const py::object& image, const std::string& channelOrder) {
            return correctedArray(image, channelOrder, [&](const auto& in, const auto& out) { c.apply(in, out); });
          },
          py::arg("image"), py::kw_only(), py::arg("channel_order") = "bgr",
          "A new image: every pel corrected, clamped to 0..255 and rounded to the nearest level.")
      .def(py::self == py::self)
      .def("__repr__", &correctionRepr);

  py::class_<StoredCalibration>(
      m, "Result",
      "What a calibration found: the camera settings (exposure in seconds, contrast and brightness from 0 to "
      "1), whether the camera's input table is to be the identity, the correction of each colour plane and, "
      "when one was adopted, a colour correction that replaces the planes' pel maps.")
      .def(py::init(&makeResult), py::kw_only(), py::arg("exposure") = 0.0, py::arg("contrast") = 0.0,
           py::arg("brightness") = 0.0, py::arg("positive_lut") = false,
           py::arg("red") = kcColorCalibrationChannelResult(), py::arg("green") = kcColorCalibrationChannelResult(),
           py::arg("blue") = kcColorCalibrationChannelResult(), py::arg("correction") = py::none())
      .def_static(
          "load", &readResultArchive, py::arg("path"),
          "Reads a result archive, as colc calibrate --out writes it, with its colour correction when it holds one.")
      .def(
          "save", [](const StoredCalibration& c, const std::string& path) { writeResultArchive(path, c); },
          py::arg("path"),
           "Writes the result archive that colc show and colc apply read.")
      .def_property_readonly("exposure", [](const StoredCalibration& c) { return c.result.exposure(); })
      .def_property_readonly("contrast", [](const StoredCalibration& c) { return c.result.contrast(); })
      .def_property_readonly("brightness", [](const StoredCalibration& c) { return c.result.brightness(); })
      .def_property_readonly("positive_lut", [](const StoredCalibration& c) { return c.result.positive8BitLut(); })
      .def_property_readonly("red", [](const StoredCalibration& c) { return channelOf(c, 0); })
      .def_property_readonly("green", [](const StoredCalibration& c) { return channelOf(c, 1); })
      .def_property_readonly("blue", [](const StoredCalibration& c) { return channelOf(c, 2); })
      .def_readonly("correction", &StoredCalibration::correction, "The colour correction, or None.")
      .def_property_readonly(
          "context",
          [](const StoredCalibration& c) -> py::object {
            if (!c.context) return py::none();
            return py::module_::import("json").attr("loads")(contextJson(*c.context).dump());
          },
          "Whom the result belongs to, as colc show --json has it under 'context' (a dict), or None when the "
          "archive holds no such record.")
      .def(
          "pel_maps",
          [](const StoredCalibration& c, const std::string& channelOrder) {
            py::array_t<unsigned char> maps({3, 256});
            const bool bgr = channelOrderOf(channelOrder) == ChannelOrder::bgr;
            for (int k = 0; k < 3; ++k) {
              const py::array_t<unsigned char> map = pelMapArray(channelOf(c, static_cast<std::size_t>(k)));
              std::copy_n(map.data(), 256, maps.mutable_data(bgr ? 2 - k : k));
            }
            return maps;
          },
          py::kw_only(), py::arg("channel_order") = "bgr",
          "The three pel maps as a (3, 256) array, one row per channel in channel_order.")
      .def(
          "apply",
          [](const StoredCalibration& c, const py::object& image, const std::string& channelOrder) {
            return correctedArray(image, channelOrder, [&](const auto& in, const auto& out) {
              kfCorrectImage(c.result, c.correctionOrNull(), in, out);
            });
          },
          py::arg("image"), py::kw_only(), py::arg("channel_order") = "bgr",
          "A new image corrected as colc apply does it: through the colour correction when there is one, "
          "otherwise each plane through its pel map (a result whose red map is the identity maps no plane). A "
          "grey image counts as three equal planes.")
      .def(py::self == py::self)
      .def("__repr__", &resultRepr);
}
