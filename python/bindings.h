// The parts of the Python module "colc", each adding its classes and
// functions to the module (errors.h adds the exceptions).
#pragma once

#include <pybind11/pybind11.h>

// colc.Channel and colc.Result: a calibration's stored result.
void addResults(pybind11::module_& module);
// colc.fit with colc.Fit and colc.FitChannel: the gain/offset fit of two images.
void addFit(pybind11::module_& module);
// colc.open_camera, colc.Camera, colc.calibrate and colc.Calibration.
void addCalibration(pybind11::module_& module);
// colc.find_target with colc.TargetMatch, and colc.fit_photo with colc.PhotoFit.
void addTarget(pybind11::module_& module);
// colc.check with colc.CameraCheck, and colc.compare.
void addCheck(pybind11::module_& module);
// colc.deploy with colc.Deployment.
void addDeployment(pybind11::module_& module);
