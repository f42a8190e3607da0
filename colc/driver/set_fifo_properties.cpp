#include "colc/driver/acquisition.h"
#include "colc/records/result.h"

void kcColorCalibrationResult::setFifoProperties(const kcPtrHandle<kcAcqFifo>& fifo) const {
  const auto allTaps = kcContrastBrightnessProp::kAllTaps;
  fifo->properties().exposureProp().exposure(exposure());
  fifo->properties().contrastBrightnessProp().setContrastEx(contrast(), allTaps);
  fifo->properties().contrastBrightnessProp().setBrightnessEx(brightness(), allTaps);
  // A result taken with the camera's own table leaves the table alone.
  if (positive8BitLut()) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
}
