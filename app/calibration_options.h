// What a calibration is asked for, as colc calibrate's options and the
// Python module's keywords give it: the camera, the reference, the settings
// to search, the outputs; and the module's parameters they make.
#pragma once

#include <string>

#include "app/deployment_request.h"
#include "colc/records/params.h"
#include "host/acq/aravis/aravis_fifo.h"

struct CalibrateOptions {
  std::string camera = "sim";
  std::string reference;  // empty: the built-in target
  std::string scene;      // what the simulated camera shows; empty: the reference
  bool noExposure = false;
  bool noContrast = false;
  bool noBrightness = false;
  std::string exposureRange;  // "MIN:MAX"; empty: the default range
  double minExposureStep = 0.0;
  bool noPositiveLut = false;
  bool noPelMapping = false;
  bool noColorCorrection = false;
  bool fullSearch = false;  // the full search instead of the quick one
  double restoreTimeout = kDefaultRestoreTimeout;
  std::string out;
  std::string report;
  std::string saveView;  // where the view goes when the target is not found; empty: notFoundViewPath
  bool json = false;
  bool quiet = false;
  // colc calibrate --deploy: a calibration that helped is written into the
  // camera to stay (app/deployment.h), as deployRequest asks.
  bool deploy = false;
  DeploymentRequest deployRequest;
};

// Where the camera's view, with the best candidate outlined, is written when
// the target is not found: --save-view, else view.png in the report folder,
// else colc-view.png in the current folder, so that there is always
// something to look at.
std::string notFoundViewPath(const CalibrateOptions& options);

// "MIN:MAX", two numbers with 0 <= MIN <= MAX; an empty string when good,
// otherwise why not (the form CLI11 expects from a check).
std::string exposureRangeProblem(const std::string& text);
// The module's parameters for the options; the Python module maps its
// keywords through it too, so both take the same options the same way.
kcColorCalibrationParams paramsOf(const CalibrateOptions& options);
