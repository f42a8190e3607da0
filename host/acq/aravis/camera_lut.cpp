#include "host/acq/aravis/camera_lut.h"

#include <algorithm>

#include "colc/host/acq.h"
#include "colc/host/exceptions.h"
#include "host/acq/aravis/found_state_file.h"
#include "host/acq/aravis/genicam_device.h"

kcLutTable kfIdentityLutTable() {
  kcLutTable t;
  std::copy_n(kc8BitInputLutProp::positive8BitLut, 256, t.begin());
  return t;
}

kcCameraLut::kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features)
    : device_(device), features_(features) {
  initial_.fill(kfIdentityLutTable());
  if (!features_.present) return;
  const std::vector<std::string> selectors = features_.selectors.empty() ? std::vector<std::string>{""}
                                                                        : features_.selectors;
  foundSelectors_ = readSelectors(device_, features_);
  for (const std::string& selector : selectors) {
    Slot slot{selector, false, std::nullopt};
    select(slot);
    slot.on = slot.foundOn = device_.getBoolean("LUTEnable");
    // A table that is off may be switched on again by its owner later: its
    // entries are kept as well.
    slot.found = readEntries();
    slot.held = slot.found;
    slots_.push_back(slot);
  }
  for (std::size_t k = 0; k < 3; ++k) {
    const Slot& slot = slots_[features_.perPlane() ? k : 0];
    if (slot.on) initial_[k] = *slot.held;
  }
}

kcCameraLut::kcCameraLut(kcGenicamDevice& device, const kcLutFeatures& features,
                         const std::vector<std::string>& lines)
    : device_(device), features_(features) {
  initial_.fill(kfIdentityLutTable());
  for (const std::string& line : lines) {
    const std::vector<std::string> f = kfRecordFields(line);
    if (f[0] == "lut-table" && f.size() == 3 + 256) {
      Slot slot{kfRecordFieldText(f[1]), false, std::nullopt};
      slot.foundOn = kfRecordInteger(f[2], line, 0, 1) == 1;
      for (std::size_t i = 0; i < 256; ++i) slot.found[i] = static_cast<unsigned char>(kfRecordInteger(f[3 + i], line, 0, 255));
      slots_.push_back(slot);
    } else if (f[0] == "lut-selector" && f.size() == 2) {
      foundSelectors_.selector = kfRecordFieldText(f[1]);
    } else if (f[0] == "lut-index" && f.size() == 2) {
      foundSelectors_.index = kfRecordInteger(f[1], line, 0, INT64_MAX);
    } else if (f[0].rfind("lut-", 0) == 0) {
      throw kfUnreadableRecordLine(line);
    }
  }
}

std::vector<std::string> kcCameraLut::recordLines() const {
  std::vector<std::string> lines;
  for (const Slot& slot : slots_) {
    std::string line = "lut-table " + kfRecordField(slot.selector) + (slot.foundOn ? " 1" : " 0");
    for (const unsigned char entry : slot.found) {
      // Appended apart: GCC 12 at -O3 takes " " + std::to_string(entry)
      // for an overlapping copy (a false -Wrestrict) and fails the build.
      line += ' ';
      line += std::to_string(entry);
    }
    lines.push_back(line);
  }
  for (std::string& line : linesOf(foundSelectors_)) lines.push_back(std::move(line));
  return lines;
}

kcCameraLut::Selectors kcCameraLut::readSelectors(kcGenicamDevice& device, const kcLutFeatures& features) {
  Selectors found;
  if (!features.present) return found;
  if (device.has("LUTSelector")) found.selector = device.getString("LUTSelector");
  found.index = device.getInteger("LUTIndex");
  return found;
}

std::vector<std::string> kcCameraLut::linesOf(const Selectors& selectors) {
  std::vector<std::string> lines;
  if (!selectors.selector.empty()) lines.push_back("lut-selector " + kfRecordField(selectors.selector));
  if (selectors.index) lines.push_back("lut-index " + std::to_string(*selectors.index));
  return lines;
}

std::vector<std::string> kcCameraLut::selectorLines(kcGenicamDevice& device, const kcLutFeatures& features) {
  return linesOf(readSelectors(device, features));
}

void kcCameraLut::select(const Slot& slot) {
  if (!slot.selector.empty()) device_.setString("LUTSelector", slot.selector);
}

kcLutTable kcCameraLut::readEntries() {
  kcLutTable table;
  for (std::size_t i = 0; i < 256; ++i) {
    device_.setInteger("LUTIndex", static_cast<std::int64_t>(i));
    table[i] = static_cast<unsigned char>(device_.getInteger("LUTValue"));
  }
  return table;
}

void kcCameraLut::writeEntries(Slot& slot, const kcLutTable& table) {
  // Unknown entries are all written. The entries are unknown until every
  // write has gone through, so a failure half way makes the next load
  // write them all.
  const std::optional<kcLutTable> was = slot.held;
  slot.held.reset();
  for (std::size_t i = 0; i < 256; ++i) {
    if (was && (*was)[i] == table[i]) continue;
    device_.setInteger("LUTIndex", static_cast<std::int64_t>(i));
    device_.setInteger("LUTValue", table[i]);
  }
  slot.held = table;
}

void kcCameraLut::enable(Slot& slot, bool on) {
  if (on == slot.on) return;
  device_.setBoolean("LUTEnable", on);
  slot.on = on;
}

void kcCameraLut::put(std::size_t s, const kcLutTable& table) {
  const bool on = table != kfIdentityLutTable();
  if (!on && !slots_[s].on) return;
  select(slots_[s]);
  if (on) writeEntries(slots_[s], table);
  enable(slots_[s], on);
}

std::vector<kcRestoreFailure> kcCameraLut::putBack() noexcept {
  std::vector<kcRestoreFailure> failures;
  for (Slot& slot : slots_) {
    const std::string table = "LUTValue" + (slot.selector.empty() ? std::string() : " (" + slot.selector + ")");
    kfAttemptRestore(failures, table, [&] {
      select(slot);
      // Entries are known when every write to them went through; a table
      // a failed write left unknown is read first.
      if (!slot.held) slot.held = readEntries();
      writeEntries(slot, slot.found);
    });
    kfAttemptRestore(failures, "LUTEnable" + (slot.selector.empty() ? std::string() : " (" + slot.selector + ")"), [&] {
      select(slot);
      slot.on = device_.getBoolean("LUTEnable");
      enable(slot, slot.foundOn);
    });
  }
  const std::vector<kcRestoreFailure> selectors = putBackSelectors();
  failures.insert(failures.end(), selectors.begin(), selectors.end());
  return failures;
}

std::vector<kcRestoreFailure> kcCameraLut::putBackSelectors() noexcept {
  std::vector<kcRestoreFailure> failures;
  const Selectors& found = foundSelectors_;
  if (!found.selector.empty()) kfAttemptRestore(failures, "LUTSelector", [&] { device_.setString("LUTSelector", found.selector); });
  if (found.index) kfAttemptRestore(failures, "LUTIndex", [&] { device_.setInteger("LUTIndex", *found.index); });
  return failures;
}

std::array<bool, 3> kcCameraLut::load(const kcLutTables& tables) {
  if (!features_.present) return {true, true, true};
  if (features_.perPlane()) {
    for (std::size_t k = 0; k < 3; ++k) put(k, tables[k]);
    return {false, false, false};
  }
  if (tables[0] == tables[1] && tables[1] == tables[2]) {
    put(0, tables[0]);
    return {false, false, false};
  }
  put(0, kfIdentityLutTable());
  return {true, true, true};
}
