#include "support/fifo_state.h"

FifoState kfFifoStateOf(kcAcqFifo& fifo) {
  FifoState s;
  s.enabled = fifo.triggerEnable();
  s.model = &fifo.triggerModel();
  s.exposure = fifo.properties().exposureProp().exposure();
  const kcContrastBrightnessProp& cb = fifo.properties().contrastBrightnessProp();
  for (int t = 0; t < cb.numTaps(); ++t) {
    s.contrast.push_back(cb.contrast(static_cast<kcContrastBrightnessProp::Channel>(t)));
    s.brightness.push_back(cb.brightness(static_cast<kcContrastBrightnessProp::Channel>(t)));
  }
  for (int k = 0; k < 3; ++k) {
    const unsigned char* table = fifo.properties().inputLutProp().inputLut(static_cast<kc8BitInputLutProp::Channel>(k));
    s.tables.emplace_back(table, table + 256);
  }
  return s;
}
