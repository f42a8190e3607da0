#include "numpy_images.h"

#include <pybind11/stl.h>

#include <opencv2/core.hpp>

#include "host/imaging/cv_bridge.h"

namespace py = pybind11;

namespace {

// Releases the array's reference from whichever thread drops the last
// buffer over it: a calibration runs without the interpreter's lock.
std::shared_ptr<void> keepAlive(const py::array& array) {
  return std::shared_ptr<void>(new py::object(array), [](void* held) {
    py::gil_scoped_acquire gil;
    delete static_cast<py::object*>(held);
  });
}

// The array, checked for the dtype and number of dimensions.
py::array uint8Array(const py::handle& object, const char* what) {
  if (!py::isinstance<py::array>(object))
    throw py::type_error(std::string(what) + " must be a numpy.ndarray of dtype uint8, not " +
                         std::string(py::str(py::type::handle_of(object).attr("__name__"))));
  py::array array = py::reinterpret_borrow<py::array>(object);
  if (!py::isinstance<py::array_t<unsigned char>>(array))
    throw py::type_error(std::string(what) + " must have dtype uint8, not " + std::string(py::str(array.dtype())));
  return array;
}

// "(480, 640, 3)": an array's shape or strides.
std::string tupleText(const py::ssize_t* values, py::ssize_t count) {
  return py::str(py::tuple(py::cast(std::vector<py::ssize_t>(values, values + count))));
}

// Rows may lie apart (a crop of a larger array) but pels and channels must
// follow each other in memory, in rising order.
void checkLayout(const py::array& array, const char* what) {
  const std::string name(what);
  if (array.shape(0) == 0 || array.shape(1) == 0)
    throw py::value_error(name + " is empty (" + std::to_string(array.shape(0)) + " x " +
                          std::to_string(array.shape(1)) + " pels)");
  const py::ssize_t pel = array.ndim() == 3 ? 3 : 1;
  if ((array.ndim() == 3 && array.strides(2) != 1) || array.strides(1) != pel ||
      array.strides(0) < pel * array.shape(1))
    throw py::value_error(name +
                          " must have its pels and channels next to each other in memory, in order "
                          "(strides (row, " +
                          std::to_string(pel) + (pel == 3 ? ", 1)" : ")") + "); this array has strides " +
                          tupleText(array.strides(), array.ndim()) + ": pass numpy.ascontiguousarray(...) of it" +
                          (array.ndim() == 3 && array.strides(2) < 0
                               ? std::string(", or channel_order='rgb' instead of reversing the channels")
                               : std::string()));
}

// Where red, green and blue lie in a pel of three bytes.
std::array<long, 3> planeOffsets(ChannelOrder order) {
  return order == ChannelOrder::bgr ? std::array<long, 3>{2, 1, 0} : std::array<long, 3>{0, 1, 2};
}

kc3PlanePelBuffer swapRedAndBlue(const kc3PlanePelBuffer& image) {
  return kc3PlanePelBuffer(image.pelPlane(2), image.pelPlane(1), image.pelPlane(0));
}

kcPelBuffer<unsigned char> checkedGreyView(const py::array& array, const char* what) {
  checkLayout(array, what);
  auto* pels = static_cast<unsigned char*>(const_cast<void*>(array.data()));
  return kcPelBuffer<unsigned char>(keepAlive(array), pels, array.shape(1), array.shape(0), array.strides(0));
}

}  // namespace

ChannelOrder channelOrderOf(const std::string& name) {
  if (name == "bgr") return ChannelOrder::bgr;
  if (name == "rgb") return ChannelOrder::rgb;
  throw py::value_error("channel_order must be 'bgr' or 'rgb', not '" + name + "'");
}

kcPelBuffer<unsigned char> greyView(const py::handle& object, const char* what) {
  const py::array array = uint8Array(object, what);
  if (array.ndim() != 2)
    throw py::value_error(std::string(what) + " must be a grey image of shape (height, width), not of " +
                          std::to_string(array.ndim()) + " dimensions");
  return checkedGreyView(array, what);
}

kcPelBuffer<unsigned char> maskView(const py::handle& object, const char* what) {
  if (py::isinstance<py::array_t<bool>>(object)) {
    const py::array scaled = py::module_::import("numpy").attr("where")(object, 255, 0).attr("astype")("uint8");
    return greyView(scaled, what);
  }
  return greyView(object, what);
}

kc3PlanePelBuffer colorImage(const py::handle& object, ChannelOrder order, const char* what) {
  const py::array array = uint8Array(object, what);
  if (array.ndim() == 2) {
    const kcPelBuffer<unsigned char> grey = checkedGreyView(array, what);
    return kc3PlanePelBuffer(grey, grey, grey);
  }
  if (array.ndim() != 3 || array.shape(2) != 3)
    throw py::value_error(std::string(what) + " must be of shape (height, width, 3) or (height, width), not " +
                          tupleText(array.shape(), array.ndim()));
  checkLayout(array, what);
  const cv::Mat interleaved(static_cast<int>(array.shape(0)), static_cast<int>(array.shape(1)), CV_8UC3,
                            const_cast<void*>(array.data()), static_cast<std::size_t>(array.strides(0)));
  const kc3PlanePelBuffer image = kf3PlanePelBufferFromBGR(interleaved);
  return order == ChannelOrder::bgr ? image : swapRedAndBlue(image);
}

py::array_t<unsigned char> colorArray(const kc3PlanePelBuffer& image, ChannelOrder order) {
  auto* mat = new cv::Mat(kfBGRMat(order == ChannelOrder::bgr ? image : swapRedAndBlue(image)));
  const py::capsule owner(mat, [](void* held) { delete static_cast<cv::Mat*>(held); });
  return py::array_t<unsigned char>({mat->rows, mat->cols, 3},
                                    {static_cast<py::ssize_t>(mat->step[0]), py::ssize_t{3}, py::ssize_t{1}}, mat->data,
                                    owner);
}

kcInterleavedPels<const unsigned char> interleavedView(const py::handle& object, ChannelOrder order, const char* what) {
  const py::array array = uint8Array(object, what);
  if (array.ndim() != 2 && (array.ndim() != 3 || array.shape(2) != 3))
    throw py::value_error(std::string(what) + " must be of shape (height, width, 3) or (height, width), not " +
                          tupleText(array.shape(), array.ndim()));
  checkLayout(array, what);
  const auto* pels = static_cast<const unsigned char*>(array.data());
  if (array.ndim() == 2) return {pels, array.shape(1), array.shape(0), array.strides(0), 1, {0, 0, 0}};
  return {pels, array.shape(1), array.shape(0), array.strides(0), 3, planeOffsets(order)};
}

std::pair<py::array_t<unsigned char>, kcInterleavedPels<unsigned char>> newColorArray(long width, long height,
                                                                                     ChannelOrder order) {
  py::array_t<unsigned char> array({height, width, 3L});
  return {array, {array.mutable_data(), width, height, 3 * width, 3, planeOffsets(order)}};
}
