#include "colc/host/acq.h"

// Function-local statics: built on first use, alive until the program ends.
const kcTriggerModel& kfManualTrigger() {
  static const kcTriggerModel model("manual", false);
  return model;
}

const kcTriggerModel& kfFreeRunTrigger() {
  static const kcTriggerModel model("free-run", true);
  return model;
}
