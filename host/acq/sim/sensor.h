// The simulated sensor and its electronics (steps 4 to 9 of
// sensor_model.h): turns the scene's plane responses into an 8-bit colour
// image under one set of camera settings.
#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "colc/host/imaging.h"
#include "host/acq/sim/byte_lookup.h"
#include "host/acq/sim/expose_row.h"
#include "host/acq/sim/flat_runs.h"
#include "host/acq/sim/sensor_model.h"

class kcSimSensor {
 public:
  // noise: the noise level (0: none); taps: 1..4; sensitivity: the
  // camera's own against the model's (kcSimCameraConfig::sensitivity).
  kcSimSensor(int width, int height, int taps, double noise, unsigned long seed, double sensitivity = 1.0);

  // Frame number `frame` (it selects the noise) of the scene levels
  // (kcSimScene::levels) taken with the settings. The pels of the flat runs
  // (kcSimScene::flatRuns, split for the sensor's taps) come from tables,
  // with the values that computing them one by one gives. The returned
  // image owns its pels; the sensor reuses their memory once the caller
  // lets go.
  kc3PlanePelBuffer expose(const cv::Mat& levels, const kcSimFlatRuns& runs, const kcSimExposure& settings,
                           unsigned long frame);

 private:
  // One tap's analog chain under the settings (steps 4 to 6).
  struct TapTransfer {
    float scale;               // ADC codes per scene level
    float offset;              // ADC codes of the black level
    std::vector<float> sigma;  // noise in codes per bank unit, by level >> kSimLevelShift
  };
  TapTransfer tapTransfer(const kcSimExposure& settings, int tap) const;
  // The 8-bit pel of every ADC code of a plane (steps 8 and 9).
  std::vector<unsigned char> planeOutput(const kcSimExposure& settings, int plane) const;
  // For each flat level and tap, the 256 pels it gives with each noise
  // sample, indexed by the sample's byte.
  std::vector<std::uint8_t> flatTables(const kcSimFlatRuns& runs, const std::vector<TapTransfer>& taps,
                                       const std::vector<std::vector<unsigned char>>& outputs) const;
  cv::Mat& frameBuffer();

  int width_;
  int height_;
  int taps_;
  double noise_;
  unsigned long seed_;
  double sensitivity_;
  cv::Mat bank_;                       // CV_8S normal numbers
  std::vector<unsigned char> encode_;  // sRGB encoding of every ADC code
  std::vector<cv::Mat> pool_;          // frame buffers that may be reused
  const kcSimRowExposer exposeRow_ = kfSimRowExposer();
  const kcByteLookup lookup_ = kfByteLookup();
};
