// colc's three 8-bit input tables on a camera: loaded into the camera's
// lookup-table features where they can hold them (see feature_map.h),
// otherwise left for colc to apply to each image. Every table the camera
// holds, switched on or off, is read on opening with LUTSelector and
// LUTIndex, and put back by putBack().
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/acq/aravis/camera_state.h"
#include "host/acq/aravis/feature_map.h"

class kcGenicamDevice;

using kcLutTable = std::array<unsigned char, 256>;
using kcLutTables = std::array<kcLutTable, 3>;

// The table that leaves every level as it is.
kcLutTable kfIdentityLutTable();

class kcCameraLut {
 public:
  // Reads the camera's tables, their switches and selectors.
  kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features);
  // The tables, switches and selectors an earlier run found, from the
  // lines of recordLines() among lines (others are left alone), to put
  // back; the camera is not read. kcIOError for a line that cannot be read.
  kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features, const std::vector<std::string>& lines);

  // What was found, in lines beginning "lut-", to keep in a file
  // (found_state_file.h).
  std::vector<std::string> recordLines() const;
  // The lines of LUTSelector and LUTIndex alone, read without moving them:
  // what the file holds before reading the tables moves them.
  static std::vector<std::string> selectorLines(kcGenicamDevice& device, const kcLutFeatures& features);

  // The tables in effect on opening, per plane; a table that is off is the identity.
  const kcLutTables& initial() const { return initial_; }
  // Puts tables on the camera where it can hold them and returns which
  // planes colc must map itself. The identity switches the camera's table
  // off; only entries that differ from what the camera holds are written.
  // kcIOError when the camera refuses; the tables then are unknown.
  std::array<bool, 3> load(const kcLutTables& tables);

  // Writes back every entry, switch and selector that no longer holds its
  // value as found: the entries of a table known from its writes, which
  // the camera acknowledged, or else read from the camera. Returns what
  // could not be put back.
  std::vector<kcRestoreFailure> putBack() noexcept;
  // Writes back LUTSelector and LUTIndex alone, as found: reading and
  // loading tables moves them. What could not be put back.
  std::vector<kcRestoreFailure> putBackSelectors() noexcept;

 private:
  struct Slot {
    std::string selector;            // empty without a LUTSelector
    bool on = false;                 // LUTEnable
    std::optional<kcLutTable> held;  // the entries in the camera, once known
    bool foundOn = false;
    kcLutTable found{};
  };
  void select(const Slot& slot);
  kcLutTable readEntries();
  void writeEntries(Slot& slot, const kcLutTable& table);
  void enable(Slot& slot, bool on);
  void put(std::size_t s, const kcLutTable& table);

  kcGenicamDevice& device_;
  kcLutFeatures features_;
  std::vector<Slot> slots_;  // one per selector, or one without
  kcLutTables initial_{};
  // LUTSelector and LUTIndex as found: the selector empty without one, the
  // index none without tables.
  struct Selectors {
    std::string selector;
    std::optional<std::int64_t> index;
  };
  static Selectors readSelectors(kcGenicamDevice& device, const kcLutFeatures& features);
  static std::vector<std::string> linesOf(const Selectors& selectors);
  Selectors foundSelectors_;
};
