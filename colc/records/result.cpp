#include "colc/records/result.h"

#include "colc/records/errors.h"

bool kcColorCalibrationResult::operator==(const kcColorCalibrationResult& other) const {
  // The acquisition information describes how the result was obtained, not
  // the result itself, so it takes no part in the comparison.
  return exposure_ == other.exposure_ && contrast_ == other.contrast_ && brightness_ == other.brightness_ &&
         positive8BitLut_ == other.positive8BitLut_ && channelResults_ == other.channelResults_;
}

kc3PlanePelBuffer kcColorCalibrationResult::pelMapImage(const kc3PlanePelBuffer& image) const {
  if (channelResults_.size() != 3) throw kcColorCalibrationDefs::BadParams();
  if (channelResults_[0].pelmap().empty()) {
    kc3PlanePelBuffer copy;
    kfPelCopy(image, copy);
    return copy;
  }
  // Channel 1 or 2 may still have an empty map: its own transfer is the
  // identity while channel 0's is not. Its plane is then copied unchanged
  // rather than looked up in an empty table.
  auto mapPlane = [](const kcPelBuffer_const<unsigned char>& plane, const kcColorCalibrationChannelResult& channel) {
    return channel.pelmap().empty() ? kfPelCopy(plane) : kfPelMap(plane, channel.pelmap());
  };
  return kc3PlanePelBuffer(mapPlane(image.plane0(), channelResults_[0]), mapPlane(image.plane1(), channelResults_[1]),
                           mapPlane(image.plane2(), channelResults_[2]));
}
