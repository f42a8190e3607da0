// A FIFO wrapper that logs every operation and injects faults, so tests can
// check the order in which a caller drives a camera and what it does when
// the camera misbehaves. It forwards everything else to the wrapped FIFO.
#pragma once

#include <string>
#include <vector>

#include "colc/host/acq.h"

// Faults to inject. Each is an index counted from 1; 0 means never.
struct kcAcqFaults {
  // The n-th completion reports a failure in its kcAcquireInfo and
  // delivers a null image.
  unsigned long failAt = 0;
  // The n-th completion delivers an unbound image and reports no failure.
  unsigned long unboundAt = 0;
  // The n-th completion throws kcTimeout::Expired.
  unsigned long timeoutAt = 0;
  // The n-th completion asks the calling thread to stop (kfRequestCancel),
  // as a user would while that acquisition runs; it completes normally.
  unsigned long cancelAt = 0;
  // The n-th write (trigger enable, trigger model, exposure, contrast,
  // brightness or input table) throws kcIOError and changes nothing.
  unsigned long writeFailAt = 0;
};

class kcInstrumentedAcqFifo : public kcAcqFifo,
                              private kcExposureProp,
                              private kcContrastBrightnessProp,
                              private kc8BitInputLutProp {
 public:
  // kcBadPointer for a null inner FIFO.
  explicit kcInstrumentedAcqFifo(kcPtrHandle<kcAcqFifo> inner, const kcAcqFaults& faults = {});

  // Every operation so far, in order. Reads are written with empty
  // parentheses or the channel read ("triggerEnable()", "contrast(0)",
  // "inputLut(0)"), writes with their value ("triggerEnable(false)",
  // "triggerModel(manual)", "exposure(0.01)", "setContrastEx(0.5,all)",
  // "inputLut(identity)" or "inputLut(table)"), and "start(0)",
  // "complete". A write that was made to fail ends in " failed".
  const std::vector<std::string>& log() const { return log_; }
  void clearLog() { log_.clear(); }
  // The faults still to come; they may be changed at any time.
  kcAcqFaults& faults() { return faults_; }
  // Completions so far (the index that the completion faults count).
  unsigned long completions() const { return completions_; }
  const kcPtrHandle<kcAcqFifo>& inner() const { return inner_; }

  kcAcqProps properties() override { return {this, this, this}; }
  const kcTriggerModel& triggerModel() const override;
  void triggerModel(const kcTriggerModel& model) override;
  bool triggerEnable() const override;
  void triggerEnable(bool enable) override;
  bool start(unsigned long flags) override;
  kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;

 private:
  using TapChannel = kcContrastBrightnessProp::Channel;
  using PlaneChannel = kc8BitInputLutProp::Channel;

  double exposure() const override;
  void exposure(double seconds) override;
  int numTaps() const override;
  double contrast(TapChannel tap) const override;
  double brightness(TapChannel tap) const override;
  void setContrastEx(double value, Taps taps) override;
  void setBrightnessEx(double value, Taps taps) override;
  void inputLut(const unsigned char* table) override;
  void inputLut(const unsigned char* table, PlaneChannel plane) override;
  const unsigned char* inputLut(PlaneChannel plane) const override;

  kcAcqProps innerProps() const { return inner_->properties(); }
  void record(const std::string& entry) const { log_.push_back(entry); }
  // Logs a write and throws when it is the one to fail.
  void recordWrite(const std::string& entry);

  kcPtrHandle<kcAcqFifo> inner_;
  kcAcqFaults faults_;
  mutable std::vector<std::string> log_;
  unsigned long writes_ = 0;
  unsigned long completions_ = 0;
};
