#include "host/acq/instrumented_fifo.h"

#include <algorithm>
#include <sstream>

#include "host/runtime/cancellation.h"

namespace {

std::string number(double value) {
  std::ostringstream os;
  os << value;
  return os.str();
}

std::string tapsText(kcContrastBrightnessProp::Taps taps) {
  if (taps == kcContrastBrightnessProp::kAllTaps) return "all";
  std::ostringstream os;
  os << "0x" << std::hex << taps;
  return os.str();
}

std::string tableText(const unsigned char* table) {
  if (!table) return "null";
  return std::equal(table, table + 256, kc8BitInputLutProp::positive8BitLut) ? "identity" : "table";
}

}  // namespace

kcInstrumentedAcqFifo::kcInstrumentedAcqFifo(kcPtrHandle<kcAcqFifo> inner, const kcAcqFaults& faults)
    : inner_(std::move(inner)), faults_(faults) {
  if (!inner_) throw kcBadPointer("null FIFO to instrument");
}

void kcInstrumentedAcqFifo::recordWrite(const std::string& entry) {
  if (++writes_ == faults_.writeFailAt) {
    record(entry + " failed");
    throw kcIOError("injected failure of write " + std::to_string(writes_) + ": " + entry);
  }
  record(entry);
}

const kcTriggerModel& kcInstrumentedAcqFifo::triggerModel() const {
  record("triggerModel()");
  return inner_->triggerModel();
}

void kcInstrumentedAcqFifo::triggerModel(const kcTriggerModel& model) {
  recordWrite(std::string("triggerModel(") + model.name() + ")");
  inner_->triggerModel(model);
}

bool kcInstrumentedAcqFifo::triggerEnable() const {
  record("triggerEnable()");
  return inner_->triggerEnable();
}

void kcInstrumentedAcqFifo::triggerEnable(bool enable) {
  recordWrite(enable ? "triggerEnable(true)" : "triggerEnable(false)");
  inner_->triggerEnable(enable);
}

bool kcInstrumentedAcqFifo::start(unsigned long flags) {
  record("start(" + std::to_string(flags) + ")");
  return inner_->start(flags);
}

kcPtrHandle<kcAcqImage> kcInstrumentedAcqFifo::completeAcq(const CompleteArgs& args) {
  record("complete");
  const unsigned long n = ++completions_;
  kcPtrHandle<kcAcqImage> image = inner_->completeAcq(args);
  if (n == faults_.timeoutAt) throw kcTimeout::Expired("injected time-out of acquisition " + std::to_string(n));
  if (n == faults_.cancelAt) kfRequestCancel();
  if (n == faults_.failAt) {
    if (args.info)
      args.info->failure(kcAcqFailure(kcAcqFailure::eFailed, "injected failure of acquisition " + std::to_string(n)));
    return {};
  }
  if (n == faults_.unboundAt) return kcPtrHandle<kcAcqImage>(new kcAcqImage());
  return image;
}

double kcInstrumentedAcqFifo::exposure() const {
  record("exposure()");
  return innerProps().exposureProp().exposure();
}

void kcInstrumentedAcqFifo::exposure(double seconds) {
  recordWrite("exposure(" + number(seconds) + ")");
  innerProps().exposureProp().exposure(seconds);
}

int kcInstrumentedAcqFifo::numTaps() const {
  record("numTaps()");
  return innerProps().contrastBrightnessProp().numTaps();
}

double kcInstrumentedAcqFifo::contrast(TapChannel tap) const {
  record("contrast(" + std::to_string(tap) + ")");
  return innerProps().contrastBrightnessProp().contrast(tap);
}

double kcInstrumentedAcqFifo::brightness(TapChannel tap) const {
  record("brightness(" + std::to_string(tap) + ")");
  return innerProps().contrastBrightnessProp().brightness(tap);
}

void kcInstrumentedAcqFifo::setContrastEx(double value, Taps taps) {
  recordWrite("setContrastEx(" + number(value) + "," + tapsText(taps) + ")");
  innerProps().contrastBrightnessProp().setContrastEx(value, taps);
}

void kcInstrumentedAcqFifo::setBrightnessEx(double value, Taps taps) {
  recordWrite("setBrightnessEx(" + number(value) + "," + tapsText(taps) + ")");
  innerProps().contrastBrightnessProp().setBrightnessEx(value, taps);
}

void kcInstrumentedAcqFifo::inputLut(const unsigned char* table) {
  recordWrite("inputLut(" + tableText(table) + ")");
  innerProps().inputLutProp().inputLut(table);
}

void kcInstrumentedAcqFifo::inputLut(const unsigned char* table, PlaneChannel plane) {
  recordWrite("inputLut(" + tableText(table) + "," + std::to_string(plane) + ")");
  innerProps().inputLutProp().inputLut(table, plane);
}

const unsigned char* kcInstrumentedAcqFifo::inputLut(PlaneChannel plane) const {
  record("inputLut(" + std::to_string(plane) + ")");
  return innerProps().inputLutProp().inputLut(plane);
}
