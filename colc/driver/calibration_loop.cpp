#include "colc/driver/internal/calibration_loop.h"

namespace kcCalibrationLoop {

bool hasIdentityTable(const kcPtrHandle<kcAcqFifo>& fifo) {
  bool identity = true;
  for (int i = 0; i < 256; ++i) {
    const unsigned char* table = fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::ePlane0);
    identity = identity && table[i] == i;
  }
  return identity;
}

void recordFinalImages(const kcPtrHandle<kcAcqFifo>& fifo, const kcColorCalibrationResult& result,
                       kcAcquireInfo& acqInfo, kcDiagObject* diag, unsigned long diagFlags) {
  fifo->start(0);
  kcAcqFifo::CompleteArgs args;
  args.info = &acqInfo;
  kcPtrHandle<kcAcqImage> image = fifo->completeAcq(args);
  if (acqInfo.failure().isFailure() || !image->isBound()) return;
  kfRecordCalibrationImages(result, image, diag, diagFlags);
}

}  // namespace kcCalibrationLoop
