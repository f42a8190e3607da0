// What a calibration hands back: the chosen camera settings, the input
// table state, the last acquisition's information and the three channel results.
#pragma once

#include <vector>

#include "colc/host/acquire_info.h"
#include "colc/host/handle.h"
#include "colc/host/imaging.h"
#include "colc/records/channel_result.h"
#include "colc/records/interleaved_pels.h"

class kcAcqFifo;

class kcColorCalibrationResult {
 public:
  kcColorCalibrationResult() = default;
  kcColorCalibrationResult(const kcColorCalibrationResult&) = default;
  kcColorCalibrationResult& operator=(const kcColorCalibrationResult&) = default;
  ~kcColorCalibrationResult() = default;

  double exposure() const { return exposure_; }
  void exposure(double value) { exposure_ = value; }
  double contrast() const { return contrast_; }
  void contrast(double value) { contrast_ = value; }
  double brightness() const { return brightness_; }
  void brightness(double value) { brightness_ = value; }
  bool positive8BitLut() const { return positive8BitLut_; }
  void positive8BitLut(bool value) { positive8BitLut_ = value; }
  const kcAcquireInfo& acqInfo() const { return acqInfo_; }
  void acqInfo(const kcAcquireInfo& info) { acqInfo_ = info; }
  const std::vector<kcColorCalibrationChannelResult>& channelResults() const { return channelResults_; }
  void channelResults(const std::vector<kcColorCalibrationChannelResult>& results) { channelResults_ = results; }

  // Equal settings, table flag and channel results; acqInfo is not compared.
  bool operator==(const kcColorCalibrationResult& other) const;

  // A new colour image: each plane through its channel's pel map. Throws
  // BadParams (empty message) unless there are exactly three channel results.
  kc3PlanePelBuffer pelMapImage(const kc3PlanePelBuffer& image) const;
  // The same into out, an image of the same size: the image itself
  // (mapped in place) or pels apart from it; an unbound out gets new pels.
  // Throws BadParams as above and for sizes that differ or an out that
  // shares some of the image's pels, kcBadPointer for an unbound image.
  void pelMapImage(const kc3PlanePelBuffer& image, kc3PlanePelBuffer& out) const;
  // The same for interleaved pels (kcColorCorrection::apply's rules).
  void pelMapImage(const kcInterleavedPels<const unsigned char>& image,
                   const kcInterleavedPels<unsigned char>& out) const;

  // Puts the result's settings (and the positive input table, when set) on a camera.
  void setFifoProperties(const kcPtrHandle<kcAcqFifo>& fifo) const;

 private:
  friend kcArchive& operator||(kcArchive& ar, kcColorCalibrationResult& result);

  double exposure_ = 0.0;
  double contrast_ = 0.0;
  double brightness_ = 0.0;
  bool positive8BitLut_ = false;
  kcAcquireInfo acqInfo_;
  std::vector<kcColorCalibrationChannelResult> channelResults_;
};

// The computation's per-plane results, in plane order.
class kcColorCalibrationResultInternal {
 public:
  void init(const std::vector<kcColorCalibrationChannelResultInternal>& results) { results_ = results; }
  std::vector<kcColorCalibrationChannelResultInternal> results() const { return results_; }

 private:
  std::vector<kcColorCalibrationChannelResultInternal> results_;
};
