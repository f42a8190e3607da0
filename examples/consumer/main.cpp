// Stores a calibration parameter record in a memory archive, reads it back
// and prints it: the smallest program that uses the installed colc.
#include <iostream>

#include "colc/colc.h"

int main() {
  kcColorCalibrationParams params;
  params.isBrightnessEnabled(false);
  params.minExposureStepSize(0.001);
  params.exposureRange(kcRange(1e-4, 0.05));
  params.allowPelMapping(false);

  kcMemoryArchive out;
  out || params;
  kcMemoryArchive in(out.data());
  kcColorCalibrationParams back;
  in || back;

  std::cout << "exposure " << back.exposureRange().start() << " to " << back.exposureRange().end() << ", step "
            << back.minExposureStepSize() << ", exposure/contrast/brightness " << back.isExposureEnabled()
            << back.isContrastEnabled() << back.isBrightnessEnabled() << ", positive table "
            << back.usePositive8BitLut() << ", pel mapping " << back.allowPelMapping() << "; " << out.data().size()
            << " bytes, " << (back == params ? "equal" : "DIFFERENT") << "\n";
  return back == params ? 0 : 1;
}
