#include "errors.h"

#include "colc/records/errors.h"
#include "colc/tool/target_pose.h"
#include "app/exit_status.h"

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

// Makes the class colc.name, keeps it in type and adds it to the module.
py::object addClass(py::module_& module, PyObject*& type, const char* name, const char* doc, const py::tuple& bases) {
  const std::string qualified = std::string("colc.") + name;
  type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
  if (type == nullptr) throw py::error_already_set();
  const py::object object = py::reinterpret_borrow<py::object>(type);
  module.add_object(name, object);
  return object;
}

// The class of a failure of the command line's parts, by its exit status.
PyObject* classOf(ExitStatus status) {
  switch (status) {
    case ExitStatus::usage:
      return gArgumentError;
    case ExitStatus::unreadableFile:
    case ExitStatus::unwritableFile:
      return gFileError;
    case ExitStatus::badArchive:
      return gArchiveError;
    case ExitStatus::imagesRefused:
      return gImageError;
    case ExitStatus::targetNotFound:
      return gTargetNotFoundError;
    case ExitStatus::cameraFailed:
      return gCameraError;
    case ExitStatus::didNotHelp:
      return gDidNotHelpError;
    case ExitStatus::cancelled:
      return gCancelledError;
    default:
      return gError;
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
  } catch (const kcTargetNotFound& e) {
    PyErr_SetString(gTargetNotFoundError, e.text().c_str());
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
  const py::module_ builtins = py::module_::import("builtins");
  const py::object error = addClass(m, gError, "Error", "Every failure of colc: the base of its exceptions.",
                                    py::make_tuple(builtins.attr("Exception")));
  addClass(m, gArgumentError, "ArgumentError", "An argument or option that cannot be used.",
           py::make_tuple(error, builtins.attr("ValueError")));
  addClass(m, gFileError, "FileError", "A file that is missing, unreadable or not an image, or cannot be written.",
           py::make_tuple(error, builtins.attr("OSError")));
  addClass(m, gArchiveError, "ArchiveError", "An archive that is corrupt or does not hold the record needed.",
           py::make_tuple(error));
  addClass(m, gImageError, "ImageError", "Images the fit cannot use.",
           py::make_tuple(error, builtins.attr("ValueError")));
  addClass(m, gTargetNotFoundError, "TargetNotFoundError", "The reference image is not in the camera's view.",
           py::make_tuple(error));
  const py::object camera =
      addClass(m, gCameraError, "CameraError", "The camera failed: an acquisition failed, or a setting was refused.",
               py::make_tuple(error));
  addClass(m, gTimeoutError, "TimeoutError", "The camera did not answer in time.",
           py::make_tuple(camera, builtins.attr("TimeoutError")));
  addClass(m, gDidNotHelpError, "DidNotHelpError",
           "The calibration ran but did not bring the camera clearly closer to the reference; its attribute "
           "'calibration' holds what it found and why it did not help.",
           py::make_tuple(error));
  addClass(m, gCancelledError, "CancelledError", "The work was cancelled; a camera is left as it was found.",
           py::make_tuple(error));
  py::register_exception_translator(translate);
}

void setDidNotHelp(const std::string& message, const py::object& calibration) {
  py::object error = py::reinterpret_borrow<py::object>(gDidNotHelpError)(message);
  error.attr("calibration") = calibration;
  PyErr_SetObject(gDidNotHelpError, error.ptr());
}
