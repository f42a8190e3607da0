#include "colc/host/display.h"

const kcColor kcColor::red{255, 0, 0};
const kcColor kcColor::green{0, 255, 0};
const kcColor kcColor::blue{0, 0, 255};
const kcColor kcColor::white{255, 255, 255};
const kcColor kcColor::black{0, 0, 0};
const kcColor kcColor::pass{0, 0, 0, true};
