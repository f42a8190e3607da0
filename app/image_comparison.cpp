#include "app/image_comparison.h"

#include "colc/tool/target_pose.h"
#include "colc/tool/view_difference.h"

ImageComparison compareOnTarget(const kc3PlanePelBuffer& first, const kc3PlanePelBuffer& second,
                                const kc3PlanePelBuffer& reference) {
  const kcViewOnGrid a = kfViewOnGrid(first, kfFindTargetPose(first, reference));
  const kcViewOnGrid b = kfViewOnGrid(second, kfFindTargetPose(second, reference));
  // Both views lie on the reference's own grid, so the regions are the same pels in each.
  const FlatRegions regions(a.reference);
  return {colourError(a.view, b.view, regions), colourError(a.view, a.reference, regions),
          colourError(b.view, b.reference, regions)};
}
