#include "support/small_sim_camera.h"

#include "host/acq/sim/target_chart.h"

kcPtrHandle<kcInstrumentedAcqFifo> kfOpenSmallSimCamera(const std::string& options) {
  kcSimCameraConfig config =
      kfParseSimCameraOptions("width=64,height=48,scale=0.5,noise=0" + (options.empty() ? "" : "," + options));
  config.target = kfSimTargetChart(96);
  return kfOpenSimCamera(config);
}
