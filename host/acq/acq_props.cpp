#include <string>

#include "colc/host/acq.h"

namespace {

template <class Prop>
Prop& present(Prop* prop, const char* name) {
  if (!prop) throw kcBadPointer(std::string("the FIFO has no ") + name + " property");
  return *prop;
}

}  // namespace

// The identity, written out by eight-entry rows.
const unsigned char kc8BitInputLutProp::positive8BitLut[256] = {
#define COLC_ROW(r) r + 0, r + 1, r + 2, r + 3, r + 4, r + 5, r + 6, r + 7
#define COLC_ROWS(r) COLC_ROW(r), COLC_ROW(r + 8), COLC_ROW(r + 16), COLC_ROW(r + 24)
    COLC_ROWS(0),   COLC_ROWS(32),  COLC_ROWS(64), COLC_ROWS(96), COLC_ROWS(128),
    COLC_ROWS(160), COLC_ROWS(192), COLC_ROWS(224)
#undef COLC_ROWS
#undef COLC_ROW
};

kcExposureProp& kcAcqProps::exposureProp() const { return present(exposure_, "exposure"); }

kcContrastBrightnessProp& kcAcqProps::contrastBrightnessProp() const {
  return present(contrastBrightness_, "contrast/brightness");
}

kc8BitInputLutProp& kcAcqProps::inputLutProp() const { return present(inputLut_, "input lookup table"); }
