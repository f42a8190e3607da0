#include "host/acq/aravis/camera_lut.h"

#include <algorithm>

#include "colc/host/acq.h"
#include "host/acq/aravis/genicam_device.h"

namespace {

kcLutTable identity() {
  kcLutTable t;
  std::copy_n(kc8BitInputLutProp::positive8BitLut, 256, t.begin());
  return t;
}

}  // namespace

kcCameraLut::kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features)
    : device_(device), features_(features) {
  initial_.fill(identity());
  if (!features_.present) return;
  const std::vector<std::string> selectors = features_.selectors.empty() ? std::vector<std::string>{""}
                                                                        : features_.selectors;
  for (const std::string& selector : selectors) {
    Slot slot{selector, false, std::nullopt};
    select(slot);
    slot.on = device_.getBoolean("LUTEnable");
    if (slot.on) {
      kcLutTable table;
      for (int i = 0; i < 256; ++i) {
        device_.setInteger("LUTIndex", i);
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(device_.getInteger("LUTValue"));
      }
      slot.held = table;
    }
    slots_.push_back(slot);
  }
  for (std::size_t k = 0; k < 3; ++k) {
    const Slot& slot = slots_[features_.perPlane() ? k : 0];
    if (slot.on) initial_[k] = *slot.held;
  }
  original_ = slots_;
}

void kcCameraLut::select(const Slot& slot) {
  if (!slot.selector.empty()) device_.setString("LUTSelector", slot.selector);
}

void kcCameraLut::put(Slot& slot, const kcLutTable& table) {
  const bool on = table != identity();
  if (!on && !slot.on) return;
  select(slot);
  if (on) {
    // With the camera's entries unknown every entry is written, and they
    // become known only once all are.
    const bool known = slot.held.has_value();
    for (std::size_t i = 0; i < 256; ++i) {
      if (known && (*slot.held)[i] == table[i]) continue;
      device_.setInteger("LUTIndex", static_cast<std::int64_t>(i));
      device_.setInteger("LUTValue", table[i]);
      if (known) (*slot.held)[i] = table[i];
    }
    slot.held = table;
  }
  if (on != slot.on) {
    device_.setBoolean("LUTEnable", on);
    slot.on = on;
  }
}

std::array<bool, 3> kcCameraLut::load(const kcLutTables& tables) {
  if (!features_.present) return {true, true, true};
  if (features_.perPlane()) {
    for (std::size_t k = 0; k < 3; ++k) put(slots_[k], tables[k]);
    return {false, false, false};
  }
  if (tables[0] == tables[1] && tables[1] == tables[2]) {
    put(slots_[0], tables[0]);
    return {false, false, false};
  }
  put(slots_[0], identity());
  return {true, true, true};
}

void kcCameraLut::restore() {
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    const Slot& was = original_[s];
    put(slots_[s], was.on ? *was.held : identity());
  }
}
