// colc's three 8-bit input tables on a camera: loaded into the camera's
// lookup-table features where they can hold them (see feature_map.h),
// otherwise left for colc to apply to each image.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "host/acq/aravis/feature_map.h"

class kcGenicamDevice;

using kcLutTable = std::array<unsigned char, 256>;
using kcLutTables = std::array<kcLutTable, 3>;

class kcCameraLut {
 public:
  // Reads the camera's tables where its lookup table is on; a table that
  // is off is the identity.
  kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features);

  // The tables in effect on opening, per plane.
  const kcLutTables& initial() const { return initial_; }
  // Puts tables on the camera where it can hold them and returns which
  // planes colc must map itself. The identity switches the camera's table
  // off; only entries that differ from what the camera holds are written.
  std::array<bool, 3> load(const kcLutTables& tables);
  // Puts the tables and the on/off state found on opening back. kcIOError
  // when the camera refuses.
  void restore();

 private:
  struct Slot {
    std::string selector;            // empty without a LUTSelector
    bool on = false;                 // LUTEnable
    std::optional<kcLutTable> held;  // the entries known to be in the camera
  };
  void select(const Slot& slot);
  void put(Slot& slot, const kcLutTable& table);

  kcGenicamDevice& device_;
  kcLutFeatures features_;
  std::vector<Slot> slots_;     // one per selector, or one without
  std::vector<Slot> original_;  // as found on opening
  kcLutTables initial_{};
};
