#include "host/acq/stored_props.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

std::string valueText(const char* name, double value) { return std::string(name) + " " + std::to_string(value); }

}  // namespace

kcStoredAcqProps::kcStoredAcqProps(int numTaps) {
  if (numTaps < 1 || numTaps > 4) throw kcBadArgument("number of taps " + std::to_string(numTaps) + " not in 1..4");
  contrast_.assign(static_cast<std::size_t>(numTaps), 0.5);
  brightness_.assign(static_cast<std::size_t>(numTaps), 0.5);
  for (auto& table : tables_) std::copy_n(positive8BitLut, 256, table.begin());
}

void kcStoredAcqProps::exposure(double seconds) {
  if (!(std::isfinite(seconds) && seconds >= 0.0)) throw kcBadArgument(valueText("exposure", seconds) + " not >= 0");
  exposure_ = seconds;
}

std::size_t kcStoredAcqProps::tapIndex(TapChannel tap) const {
  if (tap < 0 || tap >= numTaps()) throw kcBadArgument("no tap " + std::to_string(tap));
  return static_cast<std::size_t>(tap);
}

double kcStoredAcqProps::contrast(TapChannel tap) const { return contrast_[tapIndex(tap)]; }

double kcStoredAcqProps::brightness(TapChannel tap) const { return brightness_[tapIndex(tap)]; }

void kcStoredAcqProps::setPerTap(std::vector<double>& values, double value, Taps taps, const char* name) {
  if (!(value >= 0.0 && value <= 1.0)) throw kcBadArgument(valueText(name, value) + " not in 0..1");
  const Taps present = (Taps(1) << values.size()) - 1;
  if ((taps & present) == 0) throw kcBadArgument(std::string(name) + ": no tap of the camera selected");
  for (std::size_t t = 0; t < values.size(); ++t)
    if (taps & (Taps(1) << t)) values[t] = value;
}

void kcStoredAcqProps::setContrastEx(double value, Taps taps) { setPerTap(contrast_, value, taps, "contrast"); }

void kcStoredAcqProps::setBrightnessEx(double value, Taps taps) { setPerTap(brightness_, value, taps, "brightness"); }

void kcStoredAcqProps::inputLut(const unsigned char* table) {
  if (!table) throw kcBadPointer("null input table");
  for (auto& planeTable : tables_) std::copy_n(table, 256, planeTable.begin());
}

void kcStoredAcqProps::inputLut(const unsigned char* table, PlaneChannel plane) {
  if (!table) throw kcBadPointer("null input table");
  if (plane < 0 || plane > 2) throw kcBadArgument("no plane " + std::to_string(plane));
  std::copy_n(table, 256, tables_[static_cast<std::size_t>(plane)].begin());
}

const unsigned char* kcStoredAcqProps::inputLut(PlaneChannel plane) const {
  if (plane < 0 || plane > 2) throw kcBadArgument("no plane " + std::to_string(plane));
  return tables_[static_cast<std::size_t>(plane)].data();
}
