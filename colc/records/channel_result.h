// The outcome of calibrating one colour plane: a linear transfer
// (gain, offset), its RMS error and the 256-entry pel map that applies it.
#pragma once

#include <vector>

#include "colc/host/persist.h"

// The public per-plane result. An empty pel map stands for the identity.
class kcColorCalibrationChannelResult {
 public:
  kcColorCalibrationChannelResult() = default;
  kcColorCalibrationChannelResult(const kcColorCalibrationChannelResult&) = default;
  kcColorCalibrationChannelResult& operator=(const kcColorCalibrationChannelResult&) = default;
  ~kcColorCalibrationChannelResult() = default;

  double gain() const { return gain_; }
  double offset() const { return offset_; }
  double rmsError() const { return rmsError_; }
  const std::vector<unsigned char>& pelmap() const { return pelmap_; }

  // Sets the three values and rebuilds the pel map (empty for gain 1.0, offset 0.0).
  void init(double gain, double offset, double rmsError);

  bool operator==(const kcColorCalibrationChannelResult& other) const;

 private:
  friend kcArchive& operator||(kcArchive& ar, kcColorCalibrationChannelResult& result);

  double gain_ = 1.0;
  double offset_ = 0.0;
  double rmsError_ = -1.0;
  std::vector<unsigned char> pelmap_;
};

// The per-plane result of the gain/offset computation, with the
// proportions of active pels it measured. Its pel map always has 256 entries after init.
class kcColorCalibrationChannelResultInternal {
 public:
  kcColorCalibrationChannelResultInternal() = default;
  kcColorCalibrationChannelResultInternal(const kcColorCalibrationChannelResultInternal&) = default;
  kcColorCalibrationChannelResultInternal& operator=(const kcColorCalibrationChannelResultInternal&) = default;
  ~kcColorCalibrationChannelResultInternal() = default;

  double gain() const { return gain_; }
  double offset() const { return offset_; }
  double proportionActiveSrcPels() const { return proportionActiveSrcPels_; }
  double proportionActiveDstPels() const { return proportionActiveDstPels_; }
  double proportionActivePels() const { return proportionActivePels_; }
  double rmsError() const { return rmsError_; }
  std::vector<unsigned char> pelmap() const { return pelmap_; }

  void init(double gain, double offset, double proportionActiveSrcPels, double proportionActiveDstPels,
            double proportionActivePels, double rmsError);

 private:
  double gain_ = 0.0;
  double offset_ = 0.0;
  double proportionActiveSrcPels_ = 0.0;
  double proportionActiveDstPels_ = 0.0;
  double proportionActivePels_ = 0.0;
  double rmsError_ = -1.0;
  std::vector<unsigned char> pelmap_;
};

// The pel map of a transfer: entry i = clamp(round-half-away(i * gain + offset), 0, 255).
std::vector<unsigned char> kfBuildPelMap(double gain, double offset);
