#include "support/calibration_cameras.h"

#include "host/acq/sim/target_chart.h"

namespace {

kcPtrHandle<kcInstrumentedAcqFifo> open(const std::string& base, const std::string& options,
                                        const kc3PlanePelBuffer& chart) {
  kcSimCameraConfig config = kfParseSimCameraOptions(base + (options.empty() ? "" : "," + options));
  config.target = chart;
  return kfOpenSimCamera(config);
}

}  // namespace

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSmallSimCamera(const std::string& options) {
  return open("width=64,height=48,scale=0.5,noise=0", options, kfSimTargetChart(96));
}

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenChartCamera(const std::string& options) {
  return open("width=320,height=240,seed=5", options, kfTestChart());
}

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenViewCamera(const std::string& options) {
  return open("width=640,height=480,seed=5", options, kfViewChart());
}

const kc3PlanePelBuffer& kfViewChart() {
  static const kc3PlanePelBuffer chart = kfSimTargetChart(384);
  return chart;
}

const kc3PlanePelBuffer& kfTestChart() {
  static const kc3PlanePelBuffer chart = kfSimTargetChart(192);
  return chart;
}

kcColorCalibrationParams kfQuickParams() {
  kcColorCalibrationParams params;
  params.isContrastEnabled(false);
  params.isBrightnessEnabled(false);
  params.allowPelMapping(false);
  return params;
}

FifoState kfFifoStateOf(kcAcqFifo& fifo) {
  FifoState s;
  s.enabled = fifo.triggerEnable();
  s.model = &fifo.triggerModel();
  s.exposure = fifo.properties().exposureProp().exposure();
  const kcContrastBrightnessProp& cb = fifo.properties().contrastBrightnessProp();
  for (int t = 0; t < cb.numTaps(); ++t) {
    s.contrast.push_back(cb.contrast(static_cast<kcContrastBrightnessProp::Channel>(t)));
    s.brightness.push_back(cb.brightness(static_cast<kcContrastBrightnessProp::Channel>(t)));
  }
  for (int k = 0; k < 3; ++k) {
    const unsigned char* table = fifo.properties().inputLutProp().inputLut(static_cast<kc8BitInputLutProp::Channel>(k));
    s.tables.emplace_back(table, table + 256);
  }
  return s;
}
