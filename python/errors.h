// colc's Python exceptions: one base, colc.Error, and a subclass per kind
// of failure, the same kinds as colc's exit statuses. Where Python has a
// built-in for the kind, the subclass derives from it too (ValueError for
// arguments and images, OSError for files, TimeoutError for time-outs).
#pragma once

#include <pybind11/pybind11.h>

#include <string>

// Adds the classes to the module and translates every exception of the
// library, of the host and of the command line into one of them.
void addErrors(pybind11::module_& module);

// Sets colc.DidNotHelpError with the calibration that did not help as its
// attribute "calibration"; the caller then throws error_already_set.
void setDidNotHelp(const std::string& message, const pybind11::object& calibration);
