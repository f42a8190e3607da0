// The three FIFO properties held as plain values, with the range checks
// every back end shares. A camera back end keeps one and reads the values
// when it acquires; tests use it as a FIFO's property store.
#pragma once

#include <array>
#include <vector>

#include "colc/host/acq.h"

class kcStoredAcqProps : public kcExposureProp, public kcContrastBrightnessProp, public kc8BitInputLutProp {
 public:
  using TapChannel = kcContrastBrightnessProp::Channel;
  using PlaneChannel = kc8BitInputLutProp::Channel;

  // A camera with numTaps taps (1..4), exposure 0.01 s, contrast and
  // brightness 0.5 on every tap and the positive table on every plane.
  explicit kcStoredAcqProps(int numTaps = 1);

  kcAcqProps props() { return {this, this, this}; }

  double exposure() const override { return exposure_; }
  void exposure(double seconds) override;

  int numTaps() const override { return static_cast<int>(contrast_.size()); }
  double contrast(TapChannel tap) const override;
  double brightness(TapChannel tap) const override;
  void setContrastEx(double value, Taps taps) override;
  void setBrightnessEx(double value, Taps taps) override;

  void inputLut(const unsigned char* table) override;
  void inputLut(const unsigned char* table, PlaneChannel plane) override;
  const unsigned char* inputLut(PlaneChannel plane) const override;

 private:
  void setPerTap(std::vector<double>& values, double value, Taps taps, const char* name);
  std::size_t tapIndex(TapChannel tap) const;

  double exposure_ = 0.01;
  std::vector<double> contrast_;
  std::vector<double> brightness_;
  std::array<std::array<unsigned char, 256>, 3> tables_;
};
