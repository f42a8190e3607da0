#include "app/reference_checks.h"

#include "colc/host/improc.h"
#include "app/exit_status.h"

namespace {

// The pattern search and the correlation that refines its pose need 8
// pels a side.
constexpr long kMinSide = 8;

}  // namespace

void checkReference(const kc3PlanePelBuffer& reference, const std::string& name) {
  const std::string refused = "the reference image " + name + " cannot be used: ";
  if (reference.width() < kMinSide || reference.height() < kMinSide)
    throw CommandFailure(ExitStatus::imagesRefused, refused + "it has " + std::to_string(reference.width()) + " x " +
                                                        std::to_string(reference.height()) + " pels, fewer than " +
                                                        std::to_string(kMinSide) + " a side");
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(reference, grey);
  std::vector<unsigned long> histogram;
  kfPelHistogram(grey, histogram);
  const kcHistoStats stats(histogram, false);
  if (stats.histMin() == stats.histMax())
    throw CommandFailure(ExitStatus::imagesRefused,
                         refused + "all its pels have the same grey value, so there is nothing to find it by");
}
