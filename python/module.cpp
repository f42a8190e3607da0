// The Python module "colc".
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "errors.h"

PYBIND11_MODULE(colc, m) {
  m.doc() =
      "colc: colour calibration of machine-vision cameras, on NumPy images. Images are uint8 arrays of shape "
      "(height, width, 3), channels in the order channel_order names ('bgr' as cv2 keeps them, or 'rgb'), or "
      "(height, width) for grey. Every failure is a colc.Error.";
  m.attr("__version__") = COLC_VERSION;
  addErrors(m);
  addResults(m);
  addFit(m);
  addCalibration(m);
  addTarget(m);
  addCheck(m);
  addDeployment(m);
}
