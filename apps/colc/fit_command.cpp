#include "fit_command.h"

#include "channel_report.h"
#include "colc/balance/balance.h"
#include "host/imaging/image_file.h"

void runFit(const FitOptions& options, std::ostream& out) {
  const kc3PlanePelBuffer source = kfReadColorImageFile(options.source);
  const kc3PlanePelBuffer destination = kfReadColorImageFile(options.destination);
  const kcPelBuffer_const<unsigned char> mask =
      options.mask.empty() ? kcPelBuffer_const<unsigned char>() : kfReadGreyImageFile(options.mask);
  kcColorCalibrationResultInternal result;
  kfComputeColorCalibration(source, mask, destination, result, nullptr, 0);
  if (options.json)
    printChannelsJson(out, result);
  else
    printChannelsText(out, result);
}
