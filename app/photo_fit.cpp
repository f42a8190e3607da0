#include "app/photo_fit.h"

#include "colc/balance/balance.h"
#include "colc/records/errors.h"
#include "colc/tool/target_pose.h"
#include "colc/tool/view_difference.h"
#include "app/exit_status.h"

PhotoFit fitPhoto(const kc3PlanePelBuffer& photo, const kc3PlanePelBuffer& reference, bool fitColorCorrection,
                  const kcTargetSearchParams& search) {
  const kcCalibrationPose pose = kfFindTargetPose(photo, reference, search);
  const kcViewOnGrid grid = kfViewOnGrid(photo, pose);
  PhotoFit fit;
  fit.target = pose.perspective->match;
  try {
    kfComputeColorCalibration(grid.view, grid.reference, fit.fits, nullptr, 0);
  } catch (const kcColorCalibrationDefs::BadImages&) {
    throw CommandFailure(ExitStatus::imagesRefused,
                         "the fit cannot use the photo's view of the target: it shares no pels with the reference "
                         "that are unsaturated in both");
  }
  std::vector<kcColorCalibrationChannelResult> channels(3);
  for (std::size_t k = 0; k < channels.size(); ++k)
    channels[k].init(fit.fits.results()[k].gain(), fit.fits.results()[k].offset(), fit.fits.results()[k].rmsError());
  fit.result.channelResults(channels);
  fit.colour = runColourStage(grid, grid, kfViewPelsAtSamples(photo, pose), fit.result, fitColorCorrection);
  fit.helped = fit.colour.corrected.mean < fit.colour.start.mean;
  return fit;
}
