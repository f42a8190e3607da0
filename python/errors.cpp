#include "errors.h"

#include "colc/records/errors.h"
#include "exit_status.h"

namespace py = pybind11;

namespace {

// The classes live as long as the interpreter; each holds one reference.
PyObject* gError = nullptr;
PyObject* gArgumentError = nullptr;
PyObject* gFileError = nullptr;
PyObject* gArchiveError = nullptr;
PyObject* gImageError = nullptr;
PyObject* gTargetNotFoundError = nullptr;
PyObject* gCameraError = nullptr;
PyObject* gTimeoutError = nullptr;
PyObject* gDidNotHelpError = nullptr;
PyObject* gCancelledError = nullptr;

PyObject* addClass(py::module_& module, const char* name, const char* doc, py::tuple bases) {
  const std::string qualified = std::string("colc.") + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
  if (type == nullptr) throw py::error_already_set();
  module.add_object(name, py::reinterpret_borrow<py::object>(type));
  return type;
}

PyObject* classOf(ExitStatus status) {
  switch (status) {
    case ExitStatus::usage: return gArgumentError;
    case ExitStatus::unreadableFile:
    case ExitStatus::unwritableFile: return gFileError;
    case ExitStatus::badArchive: return gArchiveError;
    case ExitStatus::imagesRefused: return gImageError;
    case ExitStatus::targetNotFound: return gTargetNotFoundError;
    case ExitStatus::cameraFailed: return gCameraError;
    case ExitStatus::didNotHelp: return gDidNotHelpError;
    case ExitStatus::cancelled: return gCancelledError;
    default: return gError;
  }
}

// The module's own exceptions may carry no text; their class says what happened.
std::string textOr(const kcExceptionWithString& e, const char* meaning) {
  return e.text().empty() ? meaning : e.text();
}

void translate(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CommandFailure& e) {
    PyErr_SetString(classOf(e.status()), e.what());
  } catch (const kcColorCalibrationDefs::BadParams& e) {
    PyErr_SetString(gArgumentError, textOr(e, "the parameters cannot be used").c_str());
  } catch (const kcColorCalibrationDefs::BadImages& e) {
    PyErr_SetString(gImageError, textOr(e, "the images do not allow the operation").c_str());
  } catch (const kcBadArgument& e) {
    PyErr_SetString(gArgumentError, e.text().c_str());
  } catch (const kcIOError& e) {
    PyErr_SetString(gFileError, e.text().c_str());
  } catch (const kcArchive::BadData& e) {
    PyErr_SetString(gArchiveError, e.text().c_str());
  } catch (const kcArchive::EndOfData& e) {
    PyErr_SetString(gArchiveError, e.text().c_str());
  } catch (const kcArchive::UnknownVersion& e) {
    PyErr_SetString(gArchiveError, e.text().c_str());
  } catch (const kcTimeout::Expired& e) {
    PyErr_SetString(gTimeoutError, e.text().c_str());
  } catch (const kcCancelled& e) {
    PyErr_SetString(gCancelledError, e.text().c_str());
  } catch (const kcException& e) {
    PyErr_SetString(gError, e.what());
  }
}

}  // namespace

void addErrors(py::module_& m) {
  const auto builtin = [](const char* name) { return py::module_::import("builtins").attr(name); };
  const py::object error = py::reinterpret_borrow<py::object>(
      gError = addClass(m, "Error", "Every failure of colc: the base of its exceptions.", py::make_tuple(builtin("Exception"))));
  gArgumentError = addClass(m, "ArgumentError", "An argument or option that cannot be used.",
                            py::make_tuple(error, builtin("ValueError")));
  gFileError = addClass(m, "FileError", "A file that is missing, unreadable or not an image, or cannot be written.",
                        py::make_tuple(error, builtin("OSError")));
  gArchiveError = addClass(m, "ArchiveError", "An archive that is corrupt or does not hold the record needed.",
                           py::make_tuple(error));
  gImageError = addClass(m, "ImageError", "Images the fit cannot use.", py::make_tuple(error, builtin("ValueError")));
  gTargetNotFoundError = addClass(m, "TargetNotFoundError", "The reference image is not in the camera's view.",
                                  py::make_tuple(error));
  const py::object camera = py::reinterpret_borrow<py::object>(
      gCameraError = addClass(m, "CameraError", "The camera failed: an acquisition failed, or a setting was refused.",
                              py::make_tuple(error)));
  gTimeoutError = addClass(m, "TimeoutError", "The camera did not answer in time.",
                           py::make_tuple(camera, builtin("TimeoutError")));
  gDidNotHelpError = addClass(
      m, "DidNotHelpError",
      "The calibration ran but did not bring the camera clearly closer to the reference; its attribute "
      "'calibration' holds what it found and why it did not help.",
      py::make_tuple(error));
  gCancelledError = addClass(m, "CancelledError", "The work was cancelled; a camera is left as it was found.",
                             py::make_tuple(error));
  py::register_exception_translator(translate);
}

void setDidNotHelp(const std::string& message, const py::object& calibration) {
  py::object error = py::reinterpret_borrow<py::object>(gDidNotHelpError)(message);
  error.attr("calibration") = calibration;
  PyErr_SetObject(gDidNotHelpError, error.ptr());
}
